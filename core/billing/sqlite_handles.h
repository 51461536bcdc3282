// Owners of SQLite's handles for the store's own code: a connection closes and a statement is
// finalised however the function that made it ends.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace tlx::billing::sqlite {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// Null when the store refuses the statement (sqlite3_errmsg tells why).
inline Statement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return nullptr;
    return Statement(raw);
}

inline bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace tlx::billing::sqlite
