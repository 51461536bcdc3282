// booth_classes: the booth control's registration for a per-user install, written as WiX
// registry values under HKCU\Software\Classes. What the library writes comes from the table the
// library registers itself with; what registering its type library writes comes from the type
// library file the library embeds. So the installer holds no second, hand-written list.
//   booth_classes Tellarix.tlb booth_classes.wxi
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "boothctl/registry_table.h"
#include "idl/type_library_file.h"

namespace {

namespace table = tlx::boothctl::registry;

// Tellarix.wxs names the installed library file so; the installer writes its full path.
constexpr char kLibraryFile[] = "[#BoothControl]";
constexpr char kLibraryFolder[] = "[INSTALLDIR]";
// The proxies RegisterTypeLib names: the automation marshaler, and plain IDispatch's for a
// dispinterface that is not the dispatch side of a dual interface.
constexpr char kAutomationProxy[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchProxy[] = "{00020420-0000-0000-C000-000000000046}";

// What registering a type library writes, in its words, from the library's file.
class TypeLibrary {
  public:
    explicit TypeLibrary(const char* path) : file_(path), header_(file_.header()) {}

    std::string Id() const { return file_.GuidAt(header_.guid_offset).Text(); }
    std::string Version() const {
        return Hex(header_.version & 0xFFFF) + "." + Hex(header_.version >> 16);
    }
    std::string Locale() const { return Hex(header_.registered_locale); }
    std::string System() const {
        static const char* const kinds[] = {"win16", "win32", "mac", "win64"};
        const std::int32_t kind = header_.system & 0xF;
        if (kind > 3) throw std::runtime_error("unknown system kind");
        return kinds[kind];
    }
    // A library loaded from its file also reports "has a disk image" (8).
    std::string Flags() const { return std::to_string((header_.flags & 0xFFFF) | 8); }
    std::string Doc() const { return file_.StringAt(header_.doc_offset); }

    struct Interface {
        std::string id, name, proxy;
    };
    // Dispinterfaces and automation interfaces: the ones registering writes under Interface.
    std::vector<Interface> Interfaces() const {
        enum { kInterface = 3, kDispatch = 4, kDual = 0x40, kAutomation = 0x100 };
        std::vector<Interface> found;
        for (const tlx::idl::TypeRecord& type : file_.Types()) {
            const std::int32_t kind = type.kind & 0xF;
            if (kind != kDispatch && !(kind == kInterface && (type.flags & (kDual | kAutomation))))
                continue;
            const bool plain_dispatch = kind == kDispatch && !(type.flags & kDual);
            found.push_back({file_.GuidAt(type.guid_offset).Text(), file_.NameAt(type.name_offset),
                             plain_dispatch ? kDispatchProxy : kAutomationProxy});
        }
        return found;
    }

  private:
    static std::string Hex(std::uint32_t v) {
        char text[12];
        std::snprintf(text, sizeof text, "%x", v);
        return text;
    }

    tlx::idl::TypeLibraryFile file_;
    tlx::idl::Header header_;
};

// The installer reads keys, names and values as formatted texts: brackets stand for themselves
// only escaped.
std::string Literal(const char* text) {
    std::string out;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '[' || *c == ']') {
            out += "[\\";
            out += *c;
            out += ']';
        } else {
            out += *c;
        }
    }
    return out;
}

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Key and name as they stand, `value` as a formatted text. With no value, the name "+" makes
// the key, "*" makes it and takes it away with everything below it at removal.
void Value(const std::string& key, const char* name, const std::string& value) {
    std::printf("  <RegistryValue Root=\"HKCU\" Key=\"%s\"",
                Xml(Literal(("Software\\Classes\\" + key).c_str())).c_str());
    if (name) std::printf(" Name=\"%s\"", Xml(Literal(name)).c_str());
    std::printf(" Type=\"string\" Value=\"%s\" />\n", Xml(value).c_str());
}

template <std::size_t N>
void Entries(const table::Entry (&entries)[N]) {
    for (const table::Entry& e : entries) {
        switch (e.kind) {
            case table::Data::KeyOnly:
                Value(e.key, "+", "");
                break;
            case table::Data::Text:
                Value(e.key, e.name, Literal(e.text));
                break;
            case table::Data::Module:
                Value(e.key, e.name, kLibraryFile + Literal(e.text));
                break;
        }
    }
}

void Run(const char* typelib_path) {
    const TypeLibrary lib(typelib_path);
    if (lib.Id() != table::kTypeLibraryId)
        throw std::runtime_error(typelib_path + std::string(" is not the booth control's"));
    std::puts("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    std::puts("<!-- Written by installer/booth_classes.cpp at build time. -->");
    std::puts("<Include>");
    Entries(table::kAppIdEntries);
    Entries(table::kClassEntries);

    // What registering the type library writes: the library, and each automation interface.
    const std::string version = std::string(table::kTypeLibraryKey) + "\\" + lib.Version();
    Value(version, nullptr, Literal(lib.Doc().c_str()));
    Value(version + "\\FLAGS", nullptr, lib.Flags());
    Value(version + "\\" + lib.Locale() + "\\" + lib.System(), nullptr, kLibraryFile);
    Value(version + "\\HELPDIR", nullptr, kLibraryFolder);
    std::vector<std::string> removed(std::begin(table::kRemovedClassKeys),
                                     std::end(table::kRemovedClassKeys));
    for (const auto& i : lib.Interfaces()) {
        const std::string key = "Interface\\" + i.id;
        Value(key, nullptr, Literal(i.name.c_str()));
        Value(key + "\\ProxyStubClsid", nullptr, i.proxy);
        Value(key + "\\ProxyStubClsid32", nullptr, i.proxy);
        Value(key + "\\TypeLib", nullptr, lib.Id());
        Value(key + "\\TypeLib", "Version", lib.Version());
        removed.push_back(key);
    }

    // Removal takes what unregistering takes: the class and ProgID keys, the type library's
    // keys and the AppID keys, each with everything below it.
    removed.push_back(table::kTypeLibraryKey);
    removed.insert(removed.end(), std::begin(table::kRemovedAppIdKeys),
                   std::end(table::kRemovedAppIdKeys));
    for (const auto& key : removed) Value(key, "*", "");
    std::puts("</Include>");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: booth_classes TYPELIB.tlb OUTPUT.wxi\n", stderr);
        return 2;
    }
    try {
        const std::string cannot_write = std::string("cannot write ") + argv[2];
        if (!std::freopen(argv[2], "w", stdout)) throw std::runtime_error(cannot_write);
        Run(argv[1]);
        if (std::fclose(stdout) != 0) throw std::runtime_error(cannot_write);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "booth_classes: %s\n", e.what());
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
