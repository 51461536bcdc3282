// The MSFT type library file that widl writes and LoadTypeLib reads, record by record with the
// records' fields named: what registering the library reads (installer/booth_classes.cpp) and
// what mending widl's faults touches (idl/mend_typelib.cpp). Standard C++ only: both tools run
// on the build machine.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tlx::idl {

static_assert(std::endian::native == std::endian::little, "the file's records are little-endian");

// A GUID as the file stores it (its first three groups little-endian).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    // "4A71734C-E7A6-4D2D-BC2B-6D8C04A80281", with or without braces.
    static Guid Parse(std::string_view text);
    // "{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}", as the registry spells it.
    std::string Text() const;
    bool operator==(const Guid&) const = default;
};

// The file's header, at its start.
struct Header {
    std::int32_t magic;  // "MSFT"
    std::int32_t format;
    std::int32_t guid_offset;  // the library's GUID, in the GUID table
    std::int32_t locale;
    std::int32_t registered_locale;  // the locale registering names
    std::int32_t system;             // SYSKIND in the low nibble, kHasFileName
    std::int32_t version;            // major in the low word, minor in the high word
    std::int32_t flags;              // LIBFLAGS
    std::int32_t type_count;
    std::int32_t doc_offset;  // the help string, in the string table; -1: none
    std::int32_t help_string_context;
    std::int32_t help_context;
    std::int32_t name_count;
    std::int32_t name_chars;
    std::int32_t name_offset;
    std::int32_t help_file_offset;
    std::int32_t custom_data_offset;
    std::int32_t reserved[2];
    std::int32_t dispatch_import;  // IDispatch's import record (low bit set); -1: none
    std::int32_t import_count;
};
static_assert(sizeof(Header) == 0x54);
// Header::system: a file name's offset follows the header.
inline constexpr std::int32_t kHasFileName = 0x100;

// The tables whose places the segment directory gives, in its order.
enum class Table {
    kTypes,
    kImports,
    kImportFiles,
    kReferences,
    kGuidHash,
    kGuids,
    kNameHash,
    kNames,
    kStrings,
    kTypeDescriptions,
    kArrayDescriptions,
    kCustomData,
    kCustomDataGuids,
    kReserved1,
    kReserved2,
    kCount,
};
struct Segment {
    std::int32_t offset;  // from the file's start
    std::int32_t length;
    std::int32_t reserved[2];
};

// One type's record in the types table.
struct TypeRecord {
    std::int32_t kind;  // TYPEKIND in the low nibble, the alignment above
    std::int32_t members_offset;
    std::int32_t reserved1[9];
    std::int32_t guid_offset;  // in the GUID table
    std::int32_t flags;        // TYPEFLAGS
    std::int32_t name_offset;  // in the name table
    std::int32_t version;
    std::int32_t doc_offset;
    std::int32_t help_string_context;
    std::int32_t help_context;
    std::int32_t custom_data_offset;
    std::int16_t implemented_count;
    std::int16_t vtable_size;
    std::int32_t size;
    std::int32_t data_type[2];
    std::int32_t reserved2[2];
};
static_assert(sizeof(TypeRecord) == 0x64);

struct GuidEntry {
    Guid guid;
    std::int32_t type_ref;
    std::int32_t next_in_hash;
};
static_assert(sizeof(GuidEntry) == 24);

// A type another library holds.
struct ImportRecord {
    std::int32_t flags;  // kImportByGuid
    std::int32_t file_offset;
    std::int32_t guid_offset;  // with kImportByGuid, in the GUID table; else an index
};
static_assert(sizeof(ImportRecord) == 12);
inline constexpr std::int32_t kImportByGuid = 0x00010000;

// A name in the name table; its characters follow.
struct NameIntro {
    std::int32_t type_ref;
    std::int32_t next_in_hash;
    std::uint8_t length;
    std::uint8_t hash_low;
    std::uint16_t hash_high;
};
static_assert(sizeof(NameIntro) == 12);

class TypeLibraryFile {
  public:
    // Reads the whole file; throws std::runtime_error when it is no MSFT type library.
    explicit TypeLibraryFile(const std::string& path);
    void Write(const std::string& path) const;

    Header header() const { return Read<Header>(0); }
    Segment segment(Table t) const;
    std::vector<TypeRecord> Types() const;
    // Each entry of the GUID table with its offset there, in file order.
    std::vector<std::pair<std::int32_t, GuidEntry>> Guids() const;
    Guid GuidAt(std::int32_t offset) const;
    void SetGuidAt(std::int32_t offset, const Guid& guid);
    std::string NameAt(std::int32_t offset) const;
    std::string StringAt(std::int32_t offset) const;  // "" for -1
    ImportRecord ImportAt(std::int32_t offset) const;
    void SetImportAt(std::int32_t offset, const ImportRecord& record);

  private:
    [[noreturn]] void Fail(const std::string& what) const;
    // Where `size` bytes at `offset` of table `t` lie in the file, checked.
    std::size_t InTable(Table t, std::int32_t offset, std::size_t size) const;

    template <class T>
    T Read(std::size_t at) const {
        if (at > bytes_.size() || bytes_.size() - at < sizeof(T)) Fail("ends too early");
        T out;
        std::memcpy(&out, bytes_.data() + at, sizeof(T));
        return out;
    }
    template <class T>
    void Put(std::size_t at, const T& value) {
        if (at > bytes_.size() || bytes_.size() - at < sizeof(T)) Fail("ends too early");
        std::memcpy(bytes_.data() + at, &value, sizeof(T));
    }

    std::string path_;
    std::vector<char> bytes_;
    std::size_t segments_at_ = 0;
};

}  // namespace tlx::idl
