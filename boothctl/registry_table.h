// What registering the booth control writes below HKEY_CLASSES_ROOT and what removing it takes
// away, as plain data: the library registers itself from it, and an installer build can take
// it as its only source. Standard C++ only; each identifier is spelt once, here.
#pragma once

namespace tlx::boothctl::registry {

#define TLX_BOOTH_CLASS_ID "{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}"
#define TLX_BOOTH_TYPE_LIBRARY "{4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}"
#define TLX_BOOTH_APP_ID "{5EC19B8E-F57A-40E2-94BC-3B7A5D6E979D}"
#define TLX_BOOTH_CLASS_KEY "CLSID\\" TLX_BOOTH_CLASS_ID

// The identifiers alone, for an installer's class, type library and AppID tables.
inline constexpr char kClassId[] = TLX_BOOTH_CLASS_ID;
inline constexpr char kTypeLibraryId[] = TLX_BOOTH_TYPE_LIBRARY;
inline constexpr char kAppId[] = TLX_BOOTH_APP_ID;

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
