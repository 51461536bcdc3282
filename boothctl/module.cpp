// The in-process server: module reference count, class factory table and the four exports.
// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
// clang-format on

#include <atomic>

#include "Tellarix_h.h"
#include "boothctl/cabine.h"
#include "boothctl/com.h"
#include "boothctl/registration.h"

namespace tlx::boothctl {
namespace {

std::atomic<long> g_count{0};

using Creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** out);

// One factory per creatable class; they live as long as the module and count as locks while
// a client holds them.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(Creator create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        ModuleAddRef();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        ModuleRelease();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        // An aggregated object hands its own IUnknown only to the aggregator.
        if (outer != nullptr && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        return create_(outer, riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }

  private:
    Creator create_;
};

ClassFactory g_cabine_factory(&CreateCabine);

struct FactoryEntry {
    const CLSID* clsid;
    ClassFactory* factory;
};
const FactoryEntry kFactories[] = {{&CLSID_TellarixCabine, &g_cabine_factory}};

}  // namespace

void ModuleAddRef() {
    ++g_count;
}
void ModuleRelease() {
    --g_count;
}

HRESULT QueryFromTable(void* object, const InterfaceEntry* table, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (const InterfaceEntry* e = table; e->iid != nullptr; ++e) {
        if (*e->iid == riid || (e == table && riid == IID_IUnknown)) {
            auto* unk = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + e->offset);
            unk->AddRef();
            *out = unk;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

}  // namespace tlx::boothctl

using namespace tlx::boothctl;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (const FactoryEntry& f : kFactories)
        if (*f.clsid == clsid) return f.factory->QueryInterface(riid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return g_count.load() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    try {
        return RegisterBoothControl();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return UnregisterBoothControl();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
