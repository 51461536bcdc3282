#include "core/billing/recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>

#include "core/billing/store.h"

namespace tlx::billing {

std::optional<double> AsNumber(const Value& v) {
    switch (v.kind) {
        case Value::Kind::kInteger:
            return static_cast<double>(v.integer);
        case Value::Kind::kReal:
            return v.real;
        case Value::Kind::kText: {
            double out = 0.0;
            const char* end = v.text.data() + v.text.size();
            const auto r = std::from_chars(v.text.data(), end, out);
            if (r.ec == std::errc() && r.ptr == end) return out;
            return std::nullopt;
        }
        case Value::Kind::kNull:
            break;
    }
    return std::nullopt;
}

std::optional<std::int64_t> AsInteger(const Value& v) {
    if (v.kind == Value::Kind::kInteger) return v.integer;
    const auto n = AsNumber(v);
    if (!n || *n != static_cast<double>(static_cast<std::int64_t>(*n))) return std::nullopt;
    return static_cast<std::int64_t>(*n);
}

std::optional<LocalTime> AsTime(const Value& v) {
    return v.kind == Value::Kind::kText ? ParseStored(v.text) : std::nullopt;
}

std::string AsText(const Value& v) {
    switch (v.kind) {
        case Value::Kind::kInteger:
            return std::to_string(v.integer);
        case Value::Kind::kReal: {
            char out[64];
            const auto r = std::to_chars(out, out + sizeof out, v.real);
            return std::string(out, r.ptr);
        }
        case Value::Kind::kText:
            return v.text;
        case Value::Kind::kNull:
            break;
    }
    return {};
}

int Recordset::FieldIndex(std::string_view name) const {
    const auto& f = Fields();
    const auto it = std::find(f.begin(), f.end(), name);
    return it == f.end() ? -1 : static_cast<int>(it - f.begin());
}

const Value* Recordset::Field(std::string_view name) {
    const int at = FieldIndex(name);
    const Row* row = current_ >= 0 && at >= 0 ? RowAt(current_) : nullptr;
    return row ? &(*row)[static_cast<std::size_t>(at)] : nullptr;
}

TableRecordset::TableRecordset(std::string table, std::string key, std::vector<std::string> columns,
                               std::string filter_column)
    : table_(std::move(table)),
      key_(std::move(key)),
      filter_column_(std::move(filter_column)),
      columns_(std::move(columns)) {
    key_index_ = std::max(0, FieldIndex(key_));
}

bool TableRecordset::Scalar(const std::string& sql, std::int64_t& out) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        if (filter_) sqlite3_bind_int64(s, 1, *filter_);
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) out = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
    if (rc == SQLITE_ROW) return true;
    last_error_ = sqlite3_extended_errcode(db_);
    return false;
}

bool TableRecordset::Open(sqlite3* db, const TextCodec* codec, std::optional<std::int64_t> filter) {
    last_error_ = 0;
    const bool again = db_ == db && db && filter == filter_;
    db_ = db;
    codec_ = codec;
    filter_ = filter;
    pages_.clear();
    current_ = -1;
    if (!db_) return false;
    const std::string where = filter_ ? " where " + filter_column_ + "=?1" : " where 1";
    if (again) {
        // Only what was written behind the last key counted.
        std::int64_t added = 0;
        if (!Scalar("select count(*) from " + table_ + where + " and " + key_ + ">" +
                        std::to_string(max_key_),
                    added)) {
            return false;
        }
        if (added > 0 && !Scalar("select max(" + key_ + ") from " + table_ + where, max_key_)) {
            return false;
        }
        if (count_ == 0 && added > 0 &&
            !Scalar("select min(" + key_ + ") from " + table_ + where, min_key_)) {
            return false;
        }
        count_ += added;
    } else if (!Scalar("select count(*), 0 from " + table_ + where, count_) ||
               !Scalar("select coalesce(min(" + key_ + "),0) from " + table_ + where, min_key_) ||
               !Scalar("select coalesce(max(" + key_ + "),0) from " + table_ + where, max_key_)) {
        count_ = 0;
        return false;
    }
    MoveTo(0);
    return true;
}

void TableRecordset::Close() {
    db_ = nullptr;
    pages_.clear();
    count_ = 0;
    current_ = -1;
}

void TableRecordset::SetDescending(bool descending) {
    descending_ = descending;
    pages_.clear();
    MoveTo(0);
}

std::int64_t TableRecordset::KeyOf(const Row& row) const {
    return row[static_cast<std::size_t>(key_index_)].integer;
}

bool TableRecordset::Query(std::int64_t low, std::int64_t high, bool forward, int limit,
                           std::int64_t offset, std::vector<Row>& rows) {
    // One key range only: given two, the store may walk the wider one.
    std::string sql = "select ";
    for (const auto& c : columns_) sql += c + ",";
    sql.back() = ' ';
    sql += "from " + table_ + " where " + key_ + " between ?2 and ?3" +
           (filter_ ? " and " + filter_column_ + "=?1" : "") + " order by " + key_ +
           (forward != descending_ ? " asc" : " desc") + " limit ?4 offset ?5";
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_extended_errcode(db_);
        return false;
    }
    if (filter_) sqlite3_bind_int64(s, 1, *filter_);
    sqlite3_bind_int64(s, 2, std::max(low, min_key_));
    sqlite3_bind_int64(s, 3, std::min(high, max_key_));
    sqlite3_bind_int(s, 4, limit);
    sqlite3_bind_int64(s, 5, offset);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        Row row(columns_.size());
        for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
            Value& v = row[static_cast<std::size_t>(i)];
            switch (sqlite3_column_type(s, i)) {
                case SQLITE_INTEGER:
                    v.kind = Value::Kind::kInteger;
                    v.integer = sqlite3_column_int64(s, i);
                    break;
                case SQLITE_FLOAT:
                    v.kind = Value::Kind::kReal;
                    v.real = sqlite3_column_double(s, i);
                    break;
                case SQLITE_TEXT:
                case SQLITE_BLOB: {
                    v.kind = Value::Kind::kText;
                    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                    const std::string_view stored(
                        t ? t : "", static_cast<std::size_t>(sqlite3_column_bytes(s, i)));
                    v.text = codec_ && codec_->from_store ? codec_->from_store(stored)
                                                          : std::string(stored);
                    break;
                }
                default:
                    break;
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) {
        last_error_ = sqlite3_extended_errcode(db_);
        return false;
    }
    return true;
}

const TableRecordset::Page* TableRecordset::Fetch(std::int64_t number) {
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->number != number) continue;
        pages_.splice(pages_.begin(), pages_, it);
        return &pages_.front();
    }
    const std::int64_t first = number * kPageRows;
    const int rows = static_cast<int>(std::min<std::int64_t>(kPageRows, count_ - first));
    if (rows <= 0) return nullptr;
    auto cached = [&](std::int64_t n) -> const Page* {
        for (const Page& p : pages_) {
            if (p.number == n) return &p;
        }
        return nullptr;
    };
    // The keys after `key` in the recordset's order, and those before it.
    auto after = [&](std::int64_t key) {
        return descending_ ? std::pair(min_key_, key) : std::pair(key, max_key_);
    };
    auto before = [&](std::int64_t key) {
        return descending_ ? std::pair(key, max_key_) : std::pair(min_key_, key);
    };

    Page page;
    page.number = number;
    bool reversed = false, ok;
    if (max_key_ - min_key_ + 1 == count_) {
        // No gaps among the keys: a row's key follows from its place.
        const auto [low, high] = after(descending_ ? max_key_ - first : min_key_ + first);
        ok = Query(low, high, true, rows, 0, page.rows);
    } else if (const Page* previous = cached(number - 1)) {
        const std::int64_t key = previous->last_key + (descending_ ? -1 : 1);
        const auto [low, high] = after(key);
        ok = Query(low, high, true, rows, 0, page.rows);
    } else if (const Page* next = cached(number + 1)) {
        const std::int64_t key = next->first_key + (descending_ ? 1 : -1);
        const auto [low, high] = before(key);
        ok = Query(low, high, false, rows, 0, page.rows);
        reversed = true;
    } else if (first + rows == count_) {
        ok = Query(min_key_, max_key_, false, rows, 0, page.rows);  // the last page, from the end
        reversed = true;
    } else {
        ok = Query(min_key_, max_key_, true, rows, first, page.rows);
    }
    if (!ok || page.rows.empty()) return nullptr;
    if (reversed) std::reverse(page.rows.begin(), page.rows.end());
    page.first_key = KeyOf(page.rows.front());
    page.last_key = KeyOf(page.rows.back());
    pages_.push_front(std::move(page));
    if (pages_.size() > kCachedPages) pages_.pop_back();
    return &pages_.front();
}

const Row* TableRecordset::RowAt(std::int64_t index) {
    if (!db_ || index < 0 || index >= count_) return nullptr;
    const Page* page = Fetch(index / kPageRows);
    const auto at = static_cast<std::size_t>(index % kPageRows);
    return page && at < page->rows.size() ? &page->rows[at] : nullptr;
}

}  // namespace tlx::billing
