// mend_typelib: mends two faults of the type library that widl 7.0 writes, in place, and checks
// the result.
// 1. The last byte of the library's GUID comes out wrong (it holds the IDispatch reference
//    number instead): every GUID given is restored where only that byte differs.
// 2. The import record that the header names as IDispatch's points nowhere, so loaders resolve
//    ICabine's base to the wrong record of stdole2: it is made to name IDispatch by its GUID.
//   mend_typelib FILE.tlb GUID...
#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "idl/type_library_file.h"

namespace {

using tlx::idl::Guid;
using tlx::idl::ImportRecord;
using tlx::idl::kImportByGuid;

void Mend(const std::string& path, const std::vector<Guid>& wanted) {
    tlx::idl::TypeLibraryFile file(path);
    auto fail = [&](const std::string& what) { throw std::runtime_error(path + ": " + what); };
    std::map<std::int32_t, Guid> guids;  // offset in the GUID table -> GUID
    for (const auto& [offset, entry] : file.Guids()) guids[offset] = entry.guid;
    auto offset_of = [&](const Guid& g) -> std::int32_t {
        for (const auto& [offset, guid] : guids)
            if (guid == g) return offset;
        return -1;
    };

    for (const Guid& want : wanted) {
        if (offset_of(want) >= 0) continue;
        std::vector<std::int32_t> near;
        for (const auto& [offset, guid] : guids)
            if (std::equal(want.bytes.begin(), want.bytes.end() - 1, guid.bytes.begin()))
                near.push_back(offset);
        if (near.size() != 1) fail("GUID " + want.Text() + " is missing");
        file.SetGuidAt(near[0], want);
        guids[near[0]] = want;
    }

    static const Guid kIDispatch = Guid::Parse("00020400-0000-0000-C000-000000000046");
    const std::int32_t imports = file.segment(tlx::idl::Table::kImports).length;
    if (const std::int32_t named = file.header().dispatch_import; named != -1) {
        const std::int32_t record = named & ~1;
        const std::int32_t dispatch = offset_of(kIDispatch);
        if (dispatch < 0 || record + std::int32_t{sizeof(ImportRecord)} > imports)
            fail("no IDispatch import to mend");
        const ImportRecord imp = file.ImportAt(record);
        const auto guid = guids.find(imp.guid_offset);
        if (!(imp.flags & kImportByGuid) || guid == guids.end() || !(guid->second == kIDispatch))
            file.SetImportAt(record, {imp.flags | kImportByGuid, imp.file_offset, dispatch});
    }
    // No import may be left pointing outside the GUID table.
    for (std::int32_t at = 0; at < imports; at += sizeof(ImportRecord)) {
        const ImportRecord imp = file.ImportAt(at);
        if ((imp.flags & kImportByGuid) && !guids.contains(imp.guid_offset))
            fail("import record at " + std::to_string(at) + " names no GUID");
    }
    file.Write(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: mend_typelib FILE.tlb GUID...\n", stderr);
        return 2;
    }
    try {
        std::vector<Guid> wanted;
        for (int i = 2; i < argc; ++i) wanted.push_back(Guid::Parse(argv[i]));
        Mend(argv[1], wanted);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mend_typelib: %s\n", e.what());
        return 1;
    }
    return 0;
}
