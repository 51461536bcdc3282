// What registering the booth control writes below HKEY_CLASSES_ROOT and what removing it takes
// away, as plain data: the library registers itself from it, and an installer build can take
// it as its only source. Standard C++ only. The class and type library ids are the interface
// definition's (idl/Tellarix.idl, read into Tellarix_ids.h by the build); the AppID, which no
// type library holds, is spelt here.
#pragma once

#include "Tellarix_ids.h"

namespace tlx::boothctl::registry {

#define TLX_BOOTH_CLASS_ID TLX_IDL_UUID_TellarixCabine
#define TLX_BOOTH_TYPE_LIBRARY TLX_IDL_UUID_TellarixLib
#define TLX_BOOTH_APP_ID "{5EC19B8E-F57A-40E2-94BC-3B7A5D6E979D}"
#define TLX_BOOTH_CLASS_KEY "CLSID\\" TLX_BOOTH_CLASS_ID

// The type library's id alone: an installer's generator checks the library it reads by it.
inline constexpr char kTypeLibraryId[] = TLX_BOOTH_TYPE_LIBRARY;

enum class Data {
    Text,     // `text` as it stands
    KeyOnly,  // the key alone, no value
    Module,   // the library's full path followed by `text`
};

struct Entry {
    const char* key;
    const char* name;  // nullptr: the key's default value
    Data kind;
    const char* text;
};

inline constexpr Entry kAppIdEntries[] = {
    {"AppID\\" TLX_BOOTH_APP_ID, nullptr, Data::Text, "Tellarix"},
    {"AppID\\Tellarix.DLL", "AppID", Data::Text, TLX_BOOTH_APP_ID},
};

// The values under the class key name the ProgIDs without the "TellarixCabine." prefix of the
// ProgID keys; existing installations read them that way.
inline constexpr Entry kClassEntries[] = {
    {"TellarixCabine.TellarixCabine.1", nullptr, Data::Text, "TellarixCabine"},
    {"TellarixCabine.TellarixCabine.1\\CLSID", nullptr, Data::Text, TLX_BOOTH_CLASS_ID},
    {"TellarixCabine.TellarixCabine", nullptr, Data::Text, "TellarixCabine Class"},
    {"TellarixCabine.TellarixCabine\\CLSID", nullptr, Data::Text, TLX_BOOTH_CLASS_ID},
    {"TellarixCabine.TellarixCabine\\CurVer", nullptr, Data::Text, "TellarixCabine.1"},
    {TLX_BOOTH_CLASS_KEY, nullptr, Data::Text, "TellarixCabine"},
    {TLX_BOOTH_CLASS_KEY "\\ProgID", nullptr, Data::Text, "TellarixCabine.1"},
    {TLX_BOOTH_CLASS_KEY "\\VersionIndependentProgID", nullptr, Data::Text, "TellarixCabine"},
    {TLX_BOOTH_CLASS_KEY "\\Programmable", nullptr, Data::KeyOnly, nullptr},
    {TLX_BOOTH_CLASS_KEY "\\InprocServer32", nullptr, Data::Module, ""},
    {TLX_BOOTH_CLASS_KEY "\\InprocServer32", "ThreadingModel", Data::Text, "Apartment"},
    {TLX_BOOTH_CLASS_KEY "\\Control", nullptr, Data::KeyOnly, nullptr},
    {TLX_BOOTH_CLASS_KEY "\\ToolboxBitmap32", nullptr, Data::Module, ", 102"},  // IDB_TOOLBOX
    {TLX_BOOTH_CLASS_KEY "\\MiscStatus", nullptr, Data::Text, "0"},
    {TLX_BOOTH_CLASS_KEY "\\MiscStatus\\1", nullptr, Data::Text, "131473"},
    {TLX_BOOTH_CLASS_KEY "\\TypeLib", nullptr, Data::Text, TLX_BOOTH_TYPE_LIBRARY},
    {TLX_BOOTH_CLASS_KEY "\\Version", nullptr, Data::Text, "1.0"},
};

// Registration writes the AppID entries, replaces these keys as a whole (the class key, and
// with it whatever an older installation left below it), writes the class entries and then
// registers the embedded type library.
inline constexpr const char* kReplacedKeys[] = {TLX_BOOTH_CLASS_KEY};

// Removal takes these class keys, then the type library's registration, then the AppID keys.
// Shared parents (CLSID, AppID) stay.
inline constexpr const char* kRemovedClassKeys[] = {
    "TellarixCabine.TellarixCabine.1", "TellarixCabine.TellarixCabine", TLX_BOOTH_CLASS_KEY};
inline constexpr const char kTypeLibraryKey[] = "TypeLib\\" TLX_BOOTH_TYPE_LIBRARY;
inline constexpr const char* kRemovedAppIdKeys[] = {"AppID\\" TLX_BOOTH_APP_ID,
                                                    "AppID\\Tellarix.DLL"};

#undef TLX_BOOTH_CLASS_KEY
#undef TLX_BOOTH_APP_ID
#undef TLX_BOOTH_TYPE_LIBRARY
#undef TLX_BOOTH_CLASS_ID

}  // namespace tlx::boothctl::registry
