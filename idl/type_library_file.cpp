#include "idl/type_library_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace tlx::idl {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Where the offsets of the types' records start: after the header and the file name's offset.
std::size_t TypeOffsetsAt(const Header& h) {
    return sizeof(Header) + ((h.system & kHasFileName) ? 4 : 0);
}

}  // namespace

Guid Guid::Parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    // The bytes in the order the text gives them; the first three groups are stored reversed.
    static constexpr int kStoredAt[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Guid g;
    std::size_t at = 0;
    for (int i = 0; i < 16; ++i) {
        if (at == 8 || at == 13 || at == 18 || at == 23) {
            if (at >= text.size() || text[at] != '-') throw std::runtime_error("bad GUID");
            ++at;
        }
        const int hi = at + 1 < text.size() ? HexDigit(text[at]) : -1;
        const int lo = hi >= 0 ? HexDigit(text[at + 1]) : -1;
        if (lo < 0) throw std::runtime_error("bad GUID: " + std::string(text));
        g.bytes[kStoredAt[i]] = static_cast<std::uint8_t>(hi << 4 | lo);
        at += 2;
    }
    if (at != text.size()) throw std::runtime_error("bad GUID: " + std::string(text));
    return g;
}

std::string Guid::Text() const {
    const auto& b = bytes;
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

TypeLibraryFile::TypeLibraryFile(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot be read");
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
    const Header h = header();
    if (std::memcmp(&h.magic, "MSFT", 4) != 0) Fail("is not an MSFT type library");
    if (h.type_count < 0) Fail("counts no types");
    segments_at_ = TypeOffsetsAt(h) + 4 * static_cast<std::size_t>(h.type_count);
}

void TypeLibraryFile::Write(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    if (!out.flush()) Fail("cannot be written to " + path);
}

Segment TypeLibraryFile::segment(Table t) const {
    return Read<Segment>(segments_at_ + sizeof(Segment) * static_cast<std::size_t>(t));
}

std::vector<TypeRecord> TypeLibraryFile::Types() const {
    const Header h = header();
    std::vector<TypeRecord> types;
    for (std::int32_t i = 0; i < h.type_count; ++i) {
        const auto offset = Read<std::int32_t>(TypeOffsetsAt(h) + 4 * static_cast<std::size_t>(i));
        types.push_back(Read<TypeRecord>(InTable(Table::kTypes, offset, sizeof(TypeRecord))));
    }
    return types;
}

std::vector<std::pair<std::int32_t, GuidEntry>> TypeLibraryFile::Guids() const {
    std::vector<std::pair<std::int32_t, GuidEntry>> guids;
    const std::int32_t length = segment(Table::kGuids).length;
    for (std::int32_t at = 0; at + std::int32_t{sizeof(GuidEntry)} <= length;
         at += sizeof(GuidEntry))
        guids.emplace_back(at, Read<GuidEntry>(InTable(Table::kGuids, at, sizeof(GuidEntry))));
    return guids;
}

Guid TypeLibraryFile::GuidAt(std::int32_t offset) const {
    return Read<Guid>(InTable(Table::kGuids, offset, sizeof(Guid)));
}

void TypeLibraryFile::SetGuidAt(std::int32_t offset, const Guid& guid) {
    Put(InTable(Table::kGuids, offset, sizeof(Guid)), guid);
}

std::string TypeLibraryFile::NameAt(std::int32_t offset) const {
    const std::size_t at = InTable(Table::kNames, offset, sizeof(NameIntro));
    const auto intro = Read<NameIntro>(at);
    InTable(Table::kNames, offset, sizeof(NameIntro) + intro.length);
    return std::string(bytes_.data() + at + sizeof(NameIntro), intro.length);
}

std::string TypeLibraryFile::StringAt(std::int32_t offset) const {
    if (offset == -1) return "";
    const auto length = Read<std::uint16_t>(InTable(Table::kStrings, offset, 2));
    const std::size_t at = InTable(Table::kStrings, offset, 2 + std::size_t{length}) + 2;
    return std::string(bytes_.data() + at, length);
}

ImportRecord TypeLibraryFile::ImportAt(std::int32_t offset) const {
    return Read<ImportRecord>(InTable(Table::kImports, offset, sizeof(ImportRecord)));
}

void TypeLibraryFile::SetImportAt(std::int32_t offset, const ImportRecord& record) {
    Put(InTable(Table::kImports, offset, sizeof(ImportRecord)), record);
}

void TypeLibraryFile::Fail(const std::string& what) const {
    throw std::runtime_error(path_ + " " + what);
}

std::size_t TypeLibraryFile::InTable(Table t, std::int32_t offset, std::size_t size) const {
    const Segment s = segment(t);
    if (offset < 0 || s.offset < 0 || s.length < 0 ||
        static_cast<std::size_t>(offset) + size > static_cast<std::size_t>(s.length))
        Fail("points outside a table");
    const std::size_t at = static_cast<std::size_t>(s.offset) + static_cast<std::size_t>(offset);
    if (at + size > bytes_.size()) Fail("ends too early");
    return at;
}

}  // namespace tlx::idl
