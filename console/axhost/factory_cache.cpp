#include "console/axhost/factory_cache.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

namespace tlx::console {

namespace {

struct CachedFactory {
    CLSID clsid;
    ComPtr<IClassFactory> factory;
    int users;
};

std::mutex g_mutex;
std::vector<CachedFactory> g_factories;  // guarded by g_mutex

std::vector<CachedFactory>::iterator Find(const CLSID& clsid) {
    return std::find_if(g_factories.begin(), g_factories.end(),
                        [&](const CachedFactory& f) { return IsEqualCLSID(f.clsid, clsid); });
}

}  // namespace

HRESULT CreateFromCachedFactory(const CLSID& clsid, ComPtr<IOleObject>& object) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto entry = Find(clsid);
    if (entry == g_factories.end()) {
        ComPtr<IClassFactory> factory;
        const HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                            factory.PutVoid());
        if (FAILED(hr)) return hr;
        g_factories.push_back({clsid, std::move(factory), 0});
        entry = std::prev(g_factories.end());
    }
    const HRESULT hr = entry->factory->CreateInstance(nullptr, IID_IOleObject, object.PutVoid());
    if (SUCCEEDED(hr))
        ++entry->users;
    else if (entry->users == 0)
        g_factories.erase(entry);
    return hr;
}

void ReleaseCachedFactory(const CLSID& clsid) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto entry = Find(clsid);
    if (entry != g_factories.end() && --entry->users <= 0) g_factories.erase(entry);
}

}  // namespace tlx::console
