// What the booth control keeps between sessions: only its extent, in a stream of its own or in
// a storage's "Contents" stream.
#include "boothctl/cabine.h"

namespace tlx::boothctl {
namespace {

// Persisted form of the extent: a tag, then _cx and _cy as unsigned 32-bit HIMETRIC values.
constexpr DWORD kStreamTag = 0x54584C31;  // "1LXT"
constexpr ULONG kStreamSize = 3 * sizeof(DWORD);
constexpr wchar_t kStorageStream[] = L"Contents";

}  // namespace

HRESULT STDMETHODCALLTYPE CabineControl::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_TellarixCabine;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CabineControl::Load(IStream* stream) {
    if (stream == nullptr) return E_POINTER;
    DWORD data[3] = {};
    ULONG got = 0;
    HRESULT hr = stream->Read(data, kStreamSize, &got);
    if (FAILED(hr)) return hr;
    if (got != kStreamSize || data[0] != kStreamTag) return STG_E_READFAULT;
    extent_ = {static_cast<LONG>(data[1]), static_cast<LONG>(data[2])};
    dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::Save(IStream* stream, BOOL clear_dirty) {
    if (stream == nullptr) return E_POINTER;
    const DWORD data[3] = {kStreamTag, static_cast<DWORD>(extent_.cx),
                           static_cast<DWORD>(extent_.cy)};
    ULONG put = 0;
    HRESULT hr = stream->Write(data, kStreamSize, &put);
    if (FAILED(hr)) return hr;
    if (put != kStreamSize) return STG_E_WRITEFAULT;
    if (clear_dirty) dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = kStreamSize;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::InitNew() {
    extent_ = DefaultExtent();
    dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::InitNew(IStorage*) {
    return InitNew();
}

HRESULT STDMETHODCALLTYPE CabineControl::Load(IStorage* storage) {
    if (storage == nullptr) return E_POINTER;
    win32::ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kStorageStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                     stream.Put());
    return FAILED(hr) ? hr : Load(stream.Get());
}

HRESULT STDMETHODCALLTYPE CabineControl::Save(IStorage* storage, BOOL) {
    if (storage == nullptr) return E_POINTER;
    win32::ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(
        kStorageStream, STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0, stream.Put());
    return FAILED(hr) ? hr : Save(stream.Get(), TRUE);
}

HRESULT STDMETHODCALLTYPE CabineControl::SaveCompleted(IStorage*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::HandsOffStorage() {
    return S_OK;
}

}  // namespace tlx::boothctl
