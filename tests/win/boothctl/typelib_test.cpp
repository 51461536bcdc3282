// The embedded type library is the console's contract: identifiers, dual ICabine on stdole2's
// IDispatch, dispatch ids, vtable order, parameter names and flags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boothctl_env.h"

namespace tlx::test {
namespace {

const GUID kStdOle2 = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct Method {
    DISPID id;
    const wchar_t* name;
    std::vector<std::wstring> params;
    std::vector<VARTYPE> types;  // pointed-to types
    const wchar_t* help;
};

const Method kMethods[] = {
    {1, L"SetCabineName", {L"Name"}, {VT_BSTR}, L"method SetCabineName"},
    {2,
     L"CallDial",
     {L"Destination", L"Description", L"Rate"},
     {VT_BSTR, VT_BSTR, VT_BSTR},
     L"method CallDial"},
    {3, L"CallConnected", {}, {}, L"method CallConnected"},
    {4, L"CallFinished", {L"duration", L"Cost"}, {VT_I2, VT_R8}, L"method CallFinished"},
    {5, L"CallFinishedEx", {L"Cost"}, {VT_BSTR}, L"method CallFinishedEx"},
    {6, L"CallRejected", {}, {}, L"method CallRejected"},
    {7, L"SetCurrency", {L"CurrencyUnit"}, {VT_BSTR}, L"method SetCurrency"},
};

std::wstring Help(ITypeInfo* ti, MEMBERID id) {
    BSTR doc = nullptr;
    ti->GetDocumentation(id, nullptr, &doc, nullptr, nullptr);
    std::wstring out = doc ? doc : L"";
    SysFreeString(doc);
    return out;
}

std::vector<std::wstring> Names(ITypeInfo* ti, MEMBERID id) {
    BSTR names[8] = {};
    UINT n = 0;
    ti->GetNames(id, names, 8, &n);
    std::vector<std::wstring> out;
    for (UINT i = 0; i < n; ++i) {
        out.emplace_back(names[i]);
        SysFreeString(names[i]);
    }
    return out;
}

class TypeLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(LibraryPath().c_str(), REGKIND_NONE, lib.Put()));
    }
    Ref<ITypeLib> lib;
};

TEST_F(TypeLibrary, LibraryAndCoclass) {
    TLIBATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_TellarixLib));  // every byte, the last one too
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    lib->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    EXPECT_STREQ(name, L"TellarixLib");
    EXPECT_STREQ(help, L"Tellarix 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(help);

    Ref<ITypeInfo> cls;
    ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(CLSID_TellarixCabine, cls.Put()));
    TYPEATTR* ta = nullptr;
    ASSERT_HRESULT_SUCCEEDED(cls->GetTypeAttr(&ta));
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_EQ(ta->wTypeFlags, TYPEFLAG_FCANCREATE);  // creatable, nothing else
    ASSERT_EQ(ta->cImplTypes, 2);
    cls->ReleaseTypeAttr(ta);
    EXPECT_EQ(Help(cls.Get(), MEMBERID_NIL), L"TellarixCabine Class");
    const GUID expected[2] = {IID_ICabine, DIID__ICabineEvents};
    const INT flags[2] = {IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    for (UINT i = 0; i < 2; ++i) {
        INT f = 0;
        cls->GetImplTypeFlags(i, &f);
        EXPECT_EQ(f, flags[i]) << i;
        HREFTYPE ref = 0;
        Ref<ITypeInfo> impl;
        ASSERT_HRESULT_SUCCEEDED(cls->GetRefTypeOfImplType(i, &ref));
        ASSERT_HRESULT_SUCCEEDED(cls->GetRefTypeInfo(ref, impl.Put()));
        TYPEATTR* ia = nullptr;
        impl->GetTypeAttr(&ia);
        EXPECT_TRUE(IsEqualGUID(ia->guid, expected[i])) << i;
        impl->ReleaseTypeAttr(ia);
    }
}

TEST_F(TypeLibrary, CabineIsDualOnStdOleDispatch) {
    Ref<ITypeInfo> disp;
    ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(IID_ICabine, disp.Put()));
    TYPEATTR* ta = nullptr;
    disp->GetTypeAttr(&ta);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
    EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FNONEXTENSIBLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FNONEXTENSIBLE);
    disp->ReleaseTypeAttr(ta);
    EXPECT_EQ(Help(disp.Get(), MEMBERID_NIL), L"ICabine Interface");

    // The vtable side of the dual interface, and its base.
    HREFTYPE ref = 0;
    Ref<ITypeInfo> vt;
    ASSERT_HRESULT_SUCCEEDED(disp->GetRefTypeOfImplType(-1, &ref));
    ASSERT_HRESULT_SUCCEEDED(disp->GetRefTypeInfo(ref, vt.Put()));
    ASSERT_HRESULT_SUCCEEDED(vt->GetTypeAttr(&ta));
    EXPECT_EQ(ta->typekind, TKIND_INTERFACE);
    EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE);
    EXPECT_EQ(ta->cFuncs, 7);
    EXPECT_EQ(ta->cbSizeVft, 14 * sizeof(void*));
    vt->ReleaseTypeAttr(ta);

    Ref<ITypeInfo> base;
    ASSERT_HRESULT_SUCCEEDED(vt->GetRefTypeOfImplType(0, &ref));
    ASSERT_HRESULT_SUCCEEDED(vt->GetRefTypeInfo(ref, base.Put()));
    base->GetTypeAttr(&ta);
    BSTR base_name = nullptr;
    base->GetDocumentation(MEMBERID_NIL, &base_name, nullptr, nullptr, nullptr);
    EXPECT_TRUE(IsEqualGUID(ta->guid, IID_IDispatch))
        << "base is " << std::string(base_name, base_name + SysStringLen(base_name));
    SysFreeString(base_name);
    base->ReleaseTypeAttr(ta);
    Ref<ITypeLib> home;
    UINT index = 0;
    ASSERT_HRESULT_SUCCEEDED(base->GetContainingTypeLib(home.Put(), &index));
    TLIBATTR* la = nullptr;
    home->GetLibAttr(&la);
    EXPECT_TRUE(IsEqualGUID(la->guid, kStdOle2)) << "IDispatch must come from stdole2";
    EXPECT_EQ(la->wMajorVerNum, 2);
    home->ReleaseTLibAttr(la);

    for (UINT i = 0; i < 7; ++i) {
        const Method& m = kMethods[i];
        SCOPED_TRACE(m.name);
        FUNCDESC* fd = nullptr;
        ASSERT_HRESULT_SUCCEEDED(vt->GetFuncDesc(i, &fd));
        EXPECT_EQ(fd->memid, m.id);
        EXPECT_EQ(fd->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));  // after IDispatch
        EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(fd->cParams, static_cast<SHORT>(m.types.size()));
        for (SHORT p = 0; p < fd->cParams; ++p) {
            const ELEMDESC& e = fd->lprgelemdescParam[p];
            EXPECT_EQ(e.tdesc.vt, VT_PTR);
            EXPECT_EQ(e.tdesc.lptdesc->vt, m.types[p]);
            EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN);
        }
        vt->ReleaseFuncDesc(fd);
        std::vector<std::wstring> names = Names(vt.Get(), m.id);
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names[0], m.name);
        EXPECT_EQ(std::vector<std::wstring>(names.begin() + 1, names.end()), m.params);
        EXPECT_EQ(Help(vt.Get(), m.id), m.help);
    }
}

TEST_F(TypeLibrary, PrintEventCarriesAnOutBstr) {
    Ref<ITypeInfo> ev;
    ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(DIID__ICabineEvents, ev.Put()));
    TYPEATTR* ta = nullptr;
    ev->GetTypeAttr(&ta);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
    EXPECT_EQ(ta->cFuncs, 1);
    ev->ReleaseTypeAttr(ta);
    EXPECT_EQ(Help(ev.Get(), MEMBERID_NIL), L"_ICabineEvents Interface");
    HREFTYPE ref = 0;
    Ref<ITypeInfo> base;
    ASSERT_HRESULT_SUCCEEDED(ev->GetRefTypeOfImplType(0, &ref));
    ASSERT_HRESULT_SUCCEEDED(ev->GetRefTypeInfo(ref, base.Put()));
    base->GetTypeAttr(&ta);
    EXPECT_TRUE(IsEqualGUID(ta->guid, IID_IDispatch));
    base->ReleaseTypeAttr(ta);
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ev->GetFuncDesc(0, &fd));
    EXPECT_EQ(fd->memid, 1);
    EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_VOID);
    ASSERT_EQ(fd->cParams, 1);
    EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
    EXPECT_TRUE(fd->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOUT);
    ev->ReleaseFuncDesc(fd);
    EXPECT_EQ(Names(ev.Get(), 1), (std::vector<std::wstring>{L"onPrintClick", L"calls"}));
    EXPECT_EQ(Help(ev.Get(), 1), L"method onPrintClick");
}

}  // namespace
}  // namespace tlx::test
