// The control object as a container sees it before hosting: its interfaces, persistence of the
// extent, a picture without a window and the module's lifetime.
#include <gtest/gtest.h>
#include <olectl.h>

#include "host.h"

namespace tlx::test {
namespace {

ComPtr<IUnknown> NewControl() {
    ComPtr<IUnknown> unk;
    EXPECT_EQ(CallExport("DllRegisterServer"), S_OK);
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IUnknown, unk.PutVoid()));
    return unk;
}

template <class T>
ComPtr<T> As(const ComPtr<IUnknown>& unk, REFIID iid) {
    ComPtr<T> out;
    EXPECT_EQ(unk->QueryInterface(iid, out.PutVoid()), S_OK);
    return out;
}

TEST(ControlObject, AnswersTheEmbeddingInterfacesButNotItsEvents) {
    auto unk = NewControl();
    ASSERT_TRUE(unk);
    const IID* listed[] = {&IID_ICabine,
                           &IID_IDispatch,
                           &IID_IViewObjectEx,
                           &IID_IViewObject2,
                           &IID_IViewObject,
                           &IID_IOleInPlaceObjectWindowless,
                           &IID_IOleInPlaceObject,
                           &IID_IOleWindow,
                           &IID_IOleInPlaceActiveObject,
                           &IID_IOleControl,
                           &IID_IOleObject,
                           &IID_IPersistStreamInit,
                           &IID_IPersist,
                           &IID_ISupportErrorInfo,
                           &IID_IConnectionPointContainer,
                           &IID_ISpecifyPropertyPages,
                           &IID_IQuickActivate,
                           &IID_IPersistStorage,
                           &IID_IDataObject,
                           &IID_IProvideClassInfo,
                           &IID_IProvideClassInfo2};
    for (std::size_t i = 0; i < std::size(listed); ++i) {
        ComPtr<IUnknown> p, back;
        ASSERT_EQ(unk->QueryInterface(*listed[i], p.PutVoid()), S_OK) << "interface " << i;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), unk.Get()) << "interface " << i;  // one object behind them all
    }
    EXPECT_EQ(As<IUnknown>(unk, IID_ICabine).Get(), As<IUnknown>(unk, IID_IDispatch).Get());
    for (const IID* refused :
         {&DIID__ICabineEvents, &IID_IPersistPropertyBag, &IID_IOleInPlaceSite}) {
        ComPtr<IUnknown> none;
        EXPECT_EQ(unk->QueryInterface(*refused, none.PutVoid()), E_NOINTERFACE);
        EXPECT_FALSE(none);
    }
    DWORD misc = 0;
    ASSERT_EQ(As<IOleObject>(unk, IID_IOleObject)->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);  // the client site first, among others
}

TEST(ControlObject, PersistsOnlyTheExtent) {
    auto unk = NewControl(), other = NewControl();
    ASSERT_TRUE(unk && other);
    auto persist = As<IPersistStreamInit>(unk, IID_IPersistStreamInit);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    SIZEL size{1234, 5678}, loaded{};
    ASSERT_EQ(As<IOleObject>(unk, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStream> stream, bad;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER end{};
    stream->Seek({}, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(end.QuadPart, 12u);  // a tag and the two sizes; nothing of the booth

    auto other_persist = As<IPersistStreamInit>(other, IID_IPersistStreamInit);
    auto other_ole = As<IOleObject>(other, IID_IOleObject);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other_persist->Load(stream.Get()), S_OK);
    other_ole->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx * 10000 + loaded.cy, 1234 * 10000 + 5678);
    // A truncated or foreign stream is refused and changes nothing.
    CreateStreamOnHGlobal(nullptr, TRUE, bad.Put());
    const DWORD junk[2] = {1, 2};
    bad->Write(junk, sizeof junk, nullptr);
    bad->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(other_persist->Load(bad.Get())));
    other_ole->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 1234);
}

TEST(ControlObject, DrawsAFramedNameWithoutAWindow) {
    auto unk = NewControl();
    ASSERT_TRUE(unk);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 100);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 200, 100};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECTL bounds{10, 10, 190, 90};
    EXPECT_EQ(As<IViewObject>(unk, IID_IViewObject)
                  ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    EXPECT_EQ(GetPixel(dc, 10, 50), RGB(0, 0, 0));      // the frame
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));  // nothing outside the bounds
    int ink = 0;                                        // the name in the middle
    for (int x = 40; x < 160; ++x)
        for (int y = 40; y < 60; ++y) ink += GetPixel(dc, x, y) == RGB(0, 0, 0);
    EXPECT_GT(ink, 20);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

TEST(ControlLifetime, FactoryObjectsAndLocksKeepTheLibrary) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    auto get_factory = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(Library(), "DllGetClassObject")));
    ASSERT_TRUE(get_factory);
    CoFreeUnusedLibraries();
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> nothing;
    EXPECT_EQ(get_factory(IID_IDispatch, IID_IClassFactory, nothing.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE);  // a held factory keeps the library

    // An aggregating caller has to ask for the inner IUnknown.
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_ICabine, nothing.PutVoid()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICabine, nothing.PutVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE);  // the object is alive
    nothing.Reset();
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE);  // a server lock alone keeps it
    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
}

}  // namespace
}  // namespace tlx::test
