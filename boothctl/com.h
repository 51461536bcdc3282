// The booth control library's COM plumbing: the module's reference count and table-driven
// QueryInterface.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cstddef>

namespace tlx::boothctl {

// Every live object and every server lock holds one count; DllCanUnloadNow asks for zero.
void ModuleAddRef();
void ModuleRelease();

// One row of an object's interface table: the IID and the offset of that interface's vtable
// pointer inside the object.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

// Answers from the table in its order; the first row also answers IUnknown.
HRESULT QueryFromTable(void* object, const InterfaceEntry* table, REFIID riid, void** out);

template <class Interface, class Object>
std::ptrdiff_t OffsetOf() {
    // Any non-null address works; the cast applies the base class adjustment.
    auto* fake = reinterpret_cast<Object*>(std::ptrdiff_t{0x1000});
    return reinterpret_cast<char*>(static_cast<Interface*>(fake)) - reinterpret_cast<char*>(fake);
}

}  // namespace tlx::boothctl
