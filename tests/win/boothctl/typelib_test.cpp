// The embedded type library is the console's contract: identifiers, dual ICabine on stdole2's
// IDispatch, dispatch ids, vtable order, parameter names and the print event.
#include <gtest/gtest.h>

#include "host.h"

namespace tlx::test {
namespace {

struct Method {
    const wchar_t* name;
    std::vector<std::wstring> params;
    std::vector<VARTYPE> types;  // pointed-to types
};

// In vtable order; the dispatch ids count from 1.
const Method kMethods[] = {
    {L"SetCabineName", {L"Name"}, {VT_BSTR}},
    {L"CallDial", {L"Destination", L"Description", L"Rate"}, {VT_BSTR, VT_BSTR, VT_BSTR}},
    {L"CallConnected", {}, {}},
    {L"CallFinished", {L"duration", L"Cost"}, {VT_I2, VT_R8}},
    {L"CallFinishedEx", {L"Cost"}, {VT_BSTR}},
    {L"CallRejected", {}, {}},
    {L"SetCurrency", {L"CurrencyUnit"}, {VT_BSTR}},
};

std::vector<std::wstring> Names(ITypeInfo* ti, MEMBERID id) {
    BSTR names[8] = {};
    UINT n = 0;
    ti->GetNames(id, names, 8, &n);
    std::vector<std::wstring> out(names, names + n);
    for (UINT i = 0; i < n; ++i) SysFreeString(names[i]);
    return out;
}

// The type a type refers to: its base (index 0), the vtable side of a dual interface (-1), or a
// coclass's implemented interfaces.
ComPtr<ITypeInfo> Referred(ITypeInfo* ti, UINT index) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> out;
    EXPECT_HRESULT_SUCCEEDED(ti->GetRefTypeOfImplType(index, &ref));
    EXPECT_HRESULT_SUCCEEDED(ti->GetRefTypeInfo(ref, out.Put()));
    return out;
}

TYPEATTR Attr(ITypeInfo* ti) {
    TYPEATTR* ta = nullptr;
    EXPECT_HRESULT_SUCCEEDED(ti->GetTypeAttr(&ta));
    const TYPEATTR copy = *ta;
    ti->ReleaseTypeAttr(ta);
    return copy;
}

class TypeLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(LibraryPath().c_str(), REGKIND_NONE, lib.Put()));
    }
    ComPtr<ITypeInfo> Info(REFGUID guid) {
        ComPtr<ITypeInfo> ti;
        EXPECT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(guid, ti.Put()));
        return ti;
    }
    ComPtr<ITypeLib> lib;
};

TEST_F(TypeLibrary, LibraryAndCoclass) {
    TLIBATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_TellarixLib));  // every byte, the last one too
    EXPECT_EQ(attr->wMajorVerNum * 100 + attr->wMinorVerNum, 100);
    lib->ReleaseTLibAttr(attr);

    auto cls = Info(CLSID_TellarixCabine);
    ASSERT_TRUE(cls);
    EXPECT_EQ(Attr(cls.Get()).wTypeFlags, TYPEFLAG_FCANCREATE);  // creatable, nothing else
    // The container finds the print event as the default source.
    INT flags = 0;
    ASSERT_HRESULT_SUCCEEDED(cls->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    EXPECT_TRUE(IsEqualGUID(Attr(Referred(cls.Get(), 1).Get()).guid, DIID__ICabineEvents));
}

TEST_F(TypeLibrary, CabineIsDualOnStdOleDispatch) {
    auto disp = Info(IID_ICabine);
    ASSERT_TRUE(disp);
    const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
    EXPECT_EQ(Attr(disp.Get()).wTypeFlags & (dual | TYPEFLAG_FDISPATCHABLE),
              dual | TYPEFLAG_FDISPATCHABLE);
    auto vt = Referred(disp.Get(), -1);  // the vtable side
    ASSERT_TRUE(vt);
    const TYPEATTR ta = Attr(vt.Get());
    EXPECT_EQ(ta.typekind, TKIND_INTERFACE);
    EXPECT_EQ(ta.wTypeFlags & (dual | TYPEFLAG_FOLEAUTOMATION), dual | TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(ta.cFuncs, 7);

    auto base = Referred(vt.Get(), 0);
    ASSERT_TRUE(base);
    EXPECT_TRUE(IsEqualGUID(Attr(base.Get()).guid, IID_IDispatch));
    ComPtr<ITypeLib> home;
    UINT index = 0;
    ASSERT_HRESULT_SUCCEEDED(base->GetContainingTypeLib(home.Put(), &index));
    TLIBATTR* la = nullptr;
    home->GetLibAttr(&la);
    const GUID stdole2 = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_TRUE(IsEqualGUID(la->guid, stdole2) && la->wMajorVerNum == 2) << "not stdole2";
    home->ReleaseTLibAttr(la);

    for (UINT i = 0; i < 7; ++i) {
        const Method& m = kMethods[i];
        SCOPED_TRACE(m.name);
        FUNCDESC* fd = nullptr;
        ASSERT_HRESULT_SUCCEEDED(vt->GetFuncDesc(i, &fd));
        EXPECT_EQ(fd->memid, static_cast<MEMBERID>(i + 1));
        EXPECT_EQ(fd->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));  // after IDispatch
        EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
        EXPECT_EQ(fd->cParams, static_cast<SHORT>(m.types.size()));
        for (SHORT p = 0; p < fd->cParams && p < static_cast<SHORT>(m.types.size()); ++p) {
            const ELEMDESC& e = fd->lprgelemdescParam[p];
            EXPECT_EQ(e.tdesc.vt, VT_PTR);
            EXPECT_EQ(e.tdesc.lptdesc->vt, m.types[p]);
            EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN);
        }
        vt->ReleaseFuncDesc(fd);
        std::vector<std::wstring> names{m.name};
        names.insert(names.end(), m.params.begin(), m.params.end());
        EXPECT_EQ(Names(vt.Get(), i + 1), names);
    }
}

TEST_F(TypeLibrary, PrintEventCarriesAnOutBstr) {
    auto ev = Info(DIID__ICabineEvents);
    ASSERT_TRUE(ev);
    EXPECT_EQ(Attr(ev.Get()).typekind, TKIND_DISPATCH);
    EXPECT_EQ(Attr(ev.Get()).cFuncs, 1);
    EXPECT_TRUE(IsEqualGUID(Attr(Referred(ev.Get(), 0).Get()).guid, IID_IDispatch));
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ev->GetFuncDesc(0, &fd));
    EXPECT_EQ(fd->memid, 1);
    EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_VOID);
    ASSERT_EQ(fd->cParams, 1);
    EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
    EXPECT_TRUE(fd->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOUT);
    ev->ReleaseFuncDesc(fd);
    EXPECT_EQ(Names(ev.Get(), 1), (std::vector<std::wstring>{L"onPrintClick", L"calls"}));
}

}  // namespace
}  // namespace tlx::test
