// The embedded type library is the console's contract: identifiers, the print event, dual
// ICabine on stdole2's IDispatch, dispatch ids, vtable order and parameter names.
#include <gtest/gtest.h>

#include "tests/win/boothctl/host.h"

namespace tlx::test {
namespace {

struct Method {
    std::vector<std::wstring> names;  // the method's, then its parameters'
    std::vector<VARTYPE> types;       // pointed-to types
};

// In vtable order; the dispatch ids count from 1.
const Method kMethods[] = {
    {{L"SetCabineName", L"Name"}, {VT_BSTR}},
    {{L"CallDial", L"Destination", L"Description", L"Rate"}, {VT_BSTR, VT_BSTR, VT_BSTR}},
    {{L"CallConnected"}, {}},
    {{L"CallFinished", L"duration", L"Cost"}, {VT_I2, VT_R8}},
    {{L"CallFinishedEx", L"Cost"}, {VT_BSTR}},
    {{L"CallRejected"}, {}},
    {{L"SetCurrency", L"CurrencyUnit"}, {VT_BSTR}},
};

std::vector<std::wstring> Names(ITypeInfo* ti, MEMBERID id) {
    BSTR names[8] = {};
    UINT n = 0;
    ti->GetNames(id, names, 8, &n);
    std::vector<std::wstring> out;
    for (UINT i = 0; i < n; ++i) out.emplace_back(Bstr::Adopt(names[i]).Get());
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

// A copy of a type's or library's attributes, released at once.
template <class T, class A>
A Copy(T* from, HRESULT (STDMETHODCALLTYPE T::*get)(A**), void (STDMETHODCALLTYPE T::*drop)(A*)) {
    A* attr = nullptr;
    if (!from || FAILED((from->*get)(&attr))) return {};
    const A copy = *attr;
    (from->*drop)(attr);
    return copy;
}
TYPEATTR Attr(const ComPtr<ITypeInfo>& ti) {
    return Copy(ti.Get(), &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr);
}
TLIBATTR LibAttr(const ComPtr<ITypeLib>& lib) {
    return Copy(lib.Get(), &ITypeLib::GetLibAttr, &ITypeLib::ReleaseTLibAttr);
}

TEST(TypeLibrary, IsTheConsolesContract) {
    ComPtr<ITypeLib> lib;
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(LibraryPath().c_str(), REGKIND_NONE, lib.Put()));
    auto info = [&](REFGUID guid) {
        ComPtr<ITypeInfo> ti;
        EXPECT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(guid, ti.Put()));
        return ti;
    };
    const TLIBATTR la = LibAttr(lib);
    EXPECT_TRUE(IsEqualGUID(la.guid, LIBID_TellarixLib));  // every byte, the last one too
    EXPECT_EQ(la.wMajorVerNum * 100 + la.wMinorVerNum, 100);
    auto cls = info(CLSID_TellarixCabine);
    ASSERT_TRUE(cls);
    EXPECT_EQ(Attr(cls).wTypeFlags, TYPEFLAG_FCANCREATE);  // creatable, nothing else
    // The container finds the print event as the default source.
    INT flags = 0;
    ASSERT_HRESULT_SUCCEEDED(cls->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    auto ev = Referred(cls.Get(), 1);
    const TYPEATTR ta = Attr(ev);
    EXPECT_TRUE(IsEqualGUID(ta.guid, DIID__ICabineEvents));
    EXPECT_EQ(std::pair(ta.typekind, ta.cFuncs), std::pair(TKIND_DISPATCH, WORD{1}));
    EXPECT_TRUE(IsEqualGUID(Attr(Referred(ev.Get(), 0)).guid, IID_IDispatch));
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ev->GetFuncDesc(0, &fd));
    EXPECT_EQ(fd->memid, 1);
    EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_VOID);
    ASSERT_EQ(fd->cParams, 1);
    EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
    EXPECT_TRUE(fd->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOUT);
    ev->ReleaseFuncDesc(fd);
    EXPECT_EQ(Names(ev.Get(), 1), (std::vector<std::wstring>{L"onPrintClick", L"calls"}));

    // ICabine: dual, on stdole2's IDispatch.
    auto disp = info(IID_ICabine);
    ASSERT_TRUE(disp);
    const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
    EXPECT_EQ(Attr(disp).wTypeFlags & (dual | TYPEFLAG_FDISPATCHABLE),
              dual | TYPEFLAG_FDISPATCHABLE);
    auto vt = Referred(disp.Get(), -1);  // the vtable side
    ASSERT_TRUE(vt);
    const TYPEATTR vta = Attr(vt);
    EXPECT_EQ(vta.typekind, TKIND_INTERFACE);
    EXPECT_EQ(vta.wTypeFlags & (dual | TYPEFLAG_FOLEAUTOMATION), dual | TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(vta.cFuncs, 7);

    auto base = Referred(vt.Get(), 0);
    ASSERT_TRUE(base);
    EXPECT_TRUE(IsEqualGUID(Attr(base).guid, IID_IDispatch));
    ComPtr<ITypeLib> home;
    UINT index = 0;
    ASSERT_HRESULT_SUCCEEDED(base->GetContainingTypeLib(home.Put(), &index));
    const GUID stdole2 = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const TLIBATTR home_attr = LibAttr(home);
    EXPECT_TRUE(IsEqualGUID(home_attr.guid, stdole2) && home_attr.wMajorVerNum == 2);

    for (UINT i = 0; i < std::size(kMethods); ++i) {
        const Method& m = kMethods[i];
        SCOPED_TRACE(m.names[0]);
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
        EXPECT_EQ(Names(vt.Get(), i + 1), m.names);
    }
}

}  // namespace
}  // namespace tlx::test
