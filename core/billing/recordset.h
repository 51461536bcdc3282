// The store's rows as the bills page shows them: a recordset over one table, read a page at a
// time as the rows are looked at, with a bounded cache, so it costs the same with a thousand
// bills or a million. The console is the store's only writer: a recordset counts its rows
// once and afterwards only looks for rows added behind its last key.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/bill.h"

struct sqlite3;

namespace tlx::billing {

struct TextCodec;

// A stored value as the store holds it.
struct Value {
    enum class Kind { kNull, kInteger, kReal, kText };
    Kind kind = Kind::kNull;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
};
using Row = std::vector<Value>;

// Conversions of stored values; a value of another kind that does not read whole as the
// wanted one (a damaged or foreign row) gives nothing.
std::optional<double> AsNumber(const Value& v);
std::optional<std::int64_t> AsInteger(const Value& v);
std::optional<LocalTime> AsTime(const Value& v);
std::string AsText(const Value& v);  // null: empty

class Recordset {
  public:
    virtual ~Recordset() = default;
    virtual const std::vector<std::string>& Fields() const = 0;
    virtual std::int64_t RecordCount() const = 0;
    // The row at `index` (0-based, in the recordset's order); null when it cannot be read.
    virtual const Row* RowAt(std::int64_t index) = 0;

    // The current row: -1 when there is none.
    std::int64_t current() const { return current_; }
    void MoveTo(std::int64_t index) { current_ = index >= 0 && index < RecordCount() ? index : -1; }
    int FieldIndex(std::string_view name) const;
    // A field of the current row; null when there is no current row or no such field.
    const Value* Field(std::string_view name);

  protected:
    std::int64_t current_ = -1;
};

// One table (optionally the rows whose `filter_column` equals a value), ordered by its integer
// key, fetched by key a page at a time.
class TableRecordset : public Recordset {
  public:
    static constexpr int kPageRows = 64;
    static constexpr std::size_t kCachedPages = 16;

    TableRecordset(std::string table, std::string key, std::vector<std::string> columns,
                   std::string filter_column = {});

    // (Re)opens on `db`: counts the rows once and stands on the first. Opening again on the
    // same store and filter only adds the rows written since. False with the store's error
    // when the table cannot be read.
    bool Open(sqlite3* db, const TextCodec* codec, std::optional<std::int64_t> filter = {});
    void Close();
    bool is_open() const { return db_ != nullptr; }
    // Newest first (descending key) or oldest first; stands on the first row again.
    void SetDescending(bool descending);
    bool descending() const { return descending_; }

    const std::vector<std::string>& Fields() const override { return columns_; }
    std::int64_t RecordCount() const override { return count_; }
    const Row* RowAt(std::int64_t index) override;

    int last_error() const { return last_error_; }
    std::size_t cached_pages() const { return pages_.size(); }

  private:
    struct Page {
        std::int64_t number = 0;
        std::vector<Row> rows;
        std::int64_t first_key = 0, last_key = 0;  // in the recordset's order
    };
    const Page* Fetch(std::int64_t page);
    // The rows with keys from `low` to `high`, in the recordset's order or (not `forward`) the
    // other way round.
    bool Query(std::int64_t low, std::int64_t high, bool forward, int limit, std::int64_t offset,
               std::vector<Row>& rows);
    std::int64_t KeyOf(const Row& row) const;
    bool Scalar(const std::string& sql, std::int64_t& out);

    std::string table_, key_, filter_column_;
    std::vector<std::string> columns_;
    int key_index_ = 0;
    sqlite3* db_ = nullptr;
    const TextCodec* codec_ = nullptr;
    std::optional<std::int64_t> filter_;
    bool descending_ = false;
    std::int64_t count_ = 0;
    std::int64_t min_key_ = 0, max_key_ = 0;  // of the rows counted
    std::list<Page> pages_;                   // most recently used first
    int last_error_ = 0;
};

}  // namespace tlx::billing
