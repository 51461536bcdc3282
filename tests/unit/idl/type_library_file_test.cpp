// The type library reader against a small file laid out by hand: the registry texts of its
// GUIDs, the header's fields, a type's GUID and name, the help string, and files it refuses.
#include "idl/type_library_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tlx::idl {
namespace {

TEST(TypeLibraryGuid, TextIsTheRegistrysAndTheFileStoresTheFirstGroupsReversed) {
    const Guid g = Guid::Parse("4a71734c-e7a6-4d2d-bc2b-6d8c04a80281");
    const std::array<std::uint8_t, 16> stored = {0x4C, 0x73, 0x71, 0x4A, 0xA6, 0xE7, 0x2D, 0x4D,
                                                 0xBC, 0x2B, 0x6D, 0x8C, 0x04, 0xA8, 0x02, 0x81};
    EXPECT_EQ(g.bytes, stored);
    EXPECT_EQ(g.Text(), "{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}");
    EXPECT_EQ(Guid::Parse(g.Text()), g);
    for (const char* bad :
         {"", "4A71734C-E7A6-4D2D-BC2B-6D8C04A8028", "4A71734C-E7A6-4D2D-BC2B-6D8C04A802811",
          "4A71734CxE7A6-4D2D-BC2B-6D8C04A80281", "4A71734C-E7A6-4D2D-BC2B-6D8C04A8028G"})
        EXPECT_THROW(Guid::Parse(bad), std::runtime_error) << bad;
}

// A library of one type: header, a file name's offset, the type's offset, the segment
// directory, then the types, GUID, name and string tables.
std::vector<char> OneTypeLibrary() {
    std::vector<char> bytes;
    auto put = [&](const auto& v) {
        const auto* p = reinterpret_cast<const char*>(&v);
        bytes.insert(bytes.end(), p, p + sizeof v);
    };
    Header h{};
    std::memcpy(&h.magic, "MSFT", 4);
    h.system = 3 | kHasFileName;
    h.version = 2 << 16 | 1;
    h.registered_locale = 0x409;
    h.type_count = 1;
    h.doc_offset = 0;
    put(h);
    put(std::int32_t{-1});  // the file name's offset
    put(std::int32_t{0});   // the type, first in the types table
    const std::int32_t tables_at = static_cast<std::int32_t>(bytes.size() + 15 * sizeof(Segment));
    const std::int32_t guids_at = tables_at + sizeof(TypeRecord);
    const std::int32_t names_at = guids_at + sizeof(GuidEntry);
    const std::int32_t strings_at = names_at + sizeof(NameIntro) + 4;
    for (int t = 0; t < 15; ++t) {
        Segment s{-1, 0, {}};
        if (t == static_cast<int>(Table::kTypes)) s = {tables_at, sizeof(TypeRecord), {}};
        if (t == static_cast<int>(Table::kGuids)) s = {guids_at, sizeof(GuidEntry), {}};
        if (t == static_cast<int>(Table::kNames)) s = {names_at, sizeof(NameIntro) + 4, {}};
        if (t == static_cast<int>(Table::kStrings)) s = {strings_at, 2 + 4, {}};
        put(s);
    }
    TypeRecord type{};
    type.kind = 4;
    type.flags = 0x1000;
    put(type);
    put(GuidEntry{Guid::Parse("FC77C7BD-A6C3-42B5-82F4-9455FCD93FE9"), 0, -1});
    put(NameIntro{0, -1, 4, 0, 0});
    bytes.insert(bytes.end(), {'B', 'o', 'o', 't'});
    put(std::uint16_t{4});
    bytes.insert(bytes.end(), {'D', 'o', 'c', '!'});
    return bytes;
}

// The bytes in a file of the test's own, removed at the end of the statement that reads it.
struct Saved {
    explicit Saved(const std::vector<char>& bytes)
        : path(std::filesystem::temp_directory_path() /
               ("tlx_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                ".tlb")) {
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~Saved() { std::filesystem::remove(path); }
    operator std::string() const { return path.string(); }
    std::filesystem::path path;
};

TEST(TypeLibraryFile, ReadsTheRecordsByTheirPlaces) {
    const TypeLibraryFile file{Saved(OneTypeLibrary())};
    const Header h = file.header();
    EXPECT_EQ(h.version, 2 << 16 | 1);
    EXPECT_EQ(h.registered_locale, 0x409);
    EXPECT_EQ(file.StringAt(h.doc_offset), "Doc!");
    EXPECT_EQ(file.StringAt(-1), "");
    const auto types = file.Types();
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(types[0].flags, 0x1000);
    EXPECT_EQ(file.GuidAt(types[0].guid_offset).Text(), "{FC77C7BD-A6C3-42B5-82F4-9455FCD93FE9}");
    EXPECT_EQ(file.NameAt(types[0].name_offset), "Boot");
    ASSERT_EQ(file.Guids().size(), 1u);
    EXPECT_THROW(file.GuidAt(sizeof(GuidEntry)), std::runtime_error);  // past the GUID table
}

TEST(TypeLibraryFile, RefusesWhatIsNoTypeLibraryOrEndsEarly) {
    auto bytes = OneTypeLibrary();
    bytes[0] = 'X';
    EXPECT_THROW(TypeLibraryFile{Saved(bytes)}, std::runtime_error);
    bytes = OneTypeLibrary();
    bytes.resize(bytes.size() - 3);  // the string's last characters missing
    const TypeLibraryFile cut{Saved(bytes)};
    EXPECT_THROW(cut.StringAt(0), std::runtime_error);
    EXPECT_THROW(TypeLibraryFile{Saved(std::vector<char>(10, 'M'))}, std::runtime_error);
    EXPECT_THROW(TypeLibraryFile{"/nonexistent/Tellarix.tlb"}, std::runtime_error);
}

}  // namespace
}  // namespace tlx::idl
