// The control object as a container sees it before hosting: its interfaces, aggregation,
// persistence of the extent, pictures without a window and the module's lifetime.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "boothctl_env.h"

namespace tlx::test {
namespace {

class ControlObject : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(
            CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unk.PutVoid()));
    }
    template <class T>
    HRESULT Get(REFIID iid, Ref<T>& out) {
        return unk->QueryInterface(iid, out.PutVoid());
    }
    Ref<IUnknown> unk;
};

TEST_F(ControlObject, AnswersTheEmbeddingInterfacesButNotItsEvents) {
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
        Ref<IUnknown> p;
        ASSERT_EQ(Get(*listed[i], p), S_OK) << "interface " << i;
        // Every interface leads back to the same object.
        Ref<IUnknown> back;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
        EXPECT_EQ(back.Get(), unk.Get()) << "interface " << i;
    }
    Ref<IUnknown> cab, disp;
    Get(IID_ICabine, cab);
    Get(IID_IDispatch, disp);
    EXPECT_EQ(cab.Get(), disp.Get());  // one dual vtable

    Ref<IUnknown> none;
    EXPECT_EQ(Get(DIID__ICabineEvents, none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_EQ(Get(IID_IPersistPropertyBag, none), E_NOINTERFACE);
    EXPECT_EQ(Get(IID_IOleInPlaceSite, none), E_NOINTERFACE);
}

TEST_F(ControlObject, DescribesItselfToContainers) {
    Ref<IOleObject> ole;
    ASSERT_EQ(Get(IID_IOleObject, ole), S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);

    Ref<IProvideClassInfo2> info;
    ASSERT_EQ(Get(IID_IProvideClassInfo2, info), S_OK);
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID__ICabineEvents));
    Ref<ITypeInfo> cls;
    ASSERT_EQ(info->GetClassInfo(cls.Put()), S_OK);
    TYPEATTR* ta = nullptr;
    cls->GetTypeAttr(&ta);
    EXPECT_TRUE(IsEqualGUID(ta->guid, CLSID_TellarixCabine));
    cls->ReleaseTypeAttr(ta);

    Ref<ISpecifyPropertyPages> pages;
    ASSERT_EQ(Get(IID_ISpecifyPropertyPages, pages), S_OK);
    CAUUID list{5, reinterpret_cast<GUID*>(1)};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    EXPECT_EQ(list.cElems, 0u);
    EXPECT_EQ(list.pElems, nullptr);

    Ref<IConnectionPointContainer> cpc;
    ASSERT_EQ(Get(IID_IConnectionPointContainer, cpc), S_OK);
    Ref<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.Put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID__ICabineEvents, cp.Put()), S_OK);
}

TEST_F(ControlObject, PersistsOnlyTheExtent) {
    Ref<IPersistStreamInit> persist;
    Ref<IOleObject> ole;
    ASSERT_EQ(Get(IID_IPersistStreamInit, persist), S_OK);
    ASSERT_EQ(Get(IID_IOleObject, ole), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    SIZEL size{1234, 5678};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    Ref<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER end{};
    stream->Seek({}, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(end.QuadPart, 12u);  // a tag and _cx, _cy; nothing of the booth

    Ref<IUnknown> other;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IUnknown, other.PutVoid()));
    Ref<IPersistStreamInit> other_persist;
    Ref<IOleObject> other_ole;
    other->QueryInterface(IID_IPersistStreamInit, other_persist.PutVoid());
    other->QueryInterface(IID_IOleObject, other_ole.PutVoid());
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other_persist->Load(stream.Get()), S_OK);
    SIZEL loaded{};
    other_ole->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 1234);
    EXPECT_EQ(loaded.cy, 5678);

    // A truncated or foreign stream is refused and changes nothing.
    Ref<IStream> bad;
    CreateStreamOnHGlobal(nullptr, TRUE, bad.Put());
    const DWORD junk[2] = {1, 2};
    bad->Write(junk, sizeof junk, nullptr);
    bad->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(other_persist->Load(bad.Get())));
    other_ole->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 1234);
}

TEST_F(ControlObject, DrawsAFramedNameWithoutAWindow) {
    Ref<IViewObject> view;
    ASSERT_EQ(Get(IID_IViewObject, view), S_OK);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 100);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 200, 100};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECTL bounds{10, 10, 190, 90};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
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

// An outer object that counts what the control delegates to it.
struct Outer : IUnknown {
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        ++queries;
        if (riid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
    int queries = 0;
};

TEST(ControlLifetime, AggregationAndUnloading) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(Library(), "DllCanUnloadNow")));
    auto get_factory = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(Library(), "DllGetClassObject")));
    ASSERT_TRUE(can_unload && get_factory);
    CoFreeUnusedLibraries();
    EXPECT_EQ(can_unload(), S_OK);

    Ref<IClassFactory> factory;
    Ref<IUnknown> nothing;
    EXPECT_EQ(get_factory(IID_IDispatch, IID_IClassFactory, nothing.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(can_unload(), S_FALSE);  // a held factory keeps the library

    Outer outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICabine, nothing.PutVoid()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory.Reset();
    EXPECT_EQ(can_unload(), S_FALSE);  // the object is alive

    ICabine* cab = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ICabine, reinterpret_cast<void**>(&cab)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the interface's reference went to the outer object
    IUnknown* through = nullptr;
    ASSERT_EQ(cab->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&through)), S_OK);
    EXPECT_EQ(through, static_cast<IUnknown*>(&outer));  // identity is the aggregator's
    EXPECT_GT(outer.queries, 0);
    through->Release();
    cab->Release();
    EXPECT_EQ(outer.refs, 1u);

    EXPECT_EQ(outer.inner->Release(), 0u);
    outer.inner = nullptr;
    EXPECT_EQ(can_unload(), S_OK);

    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(can_unload(), S_FALSE);  // a server lock alone keeps it
    Ref<IClassFactory> again;
    get_factory(CLSID_TellarixCabine, IID_IClassFactory, again.PutVoid());
    again->LockServer(FALSE);
    again.Reset();
    EXPECT_EQ(can_unload(), S_OK);
}

}  // namespace
}  // namespace tlx::test
