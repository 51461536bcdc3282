// A bills store file of each test's own, gone afterwards, and plain SQL on it from a second
// connection (as another program would see the file).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/billing/store.h"

namespace tlx::billing {

class TempStore : public ::testing::Test {
  protected:
    TempStore()
        : path_((std::filesystem::temp_directory_path() /
                 ("tlx-store-" + std::to_string(std::random_device{}()) + ".mdb"))
                    .string()) {
        Remove();
    }
    ~TempStore() override { Remove(); }
    // The store and everything made beside it: journals, copies, other files of the test.
    void Remove() const {
        namespace fs = std::filesystem;
        const fs::path store(path_);
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(store.parent_path(), ec)) {
            if (entry.path().filename().string().rfind(store.filename().string(), 0) == 0)
                fs::remove(entry.path(), ec);
        }
    }
    // Runs sql on the file (made with the store's schema first when `create`): the rows, their
    // values joined by '|', each row ending in '\n'; a failure reads "error: <message>".
    std::string Sql(const std::string& sql, bool create = false) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        if (create) sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr);
        std::string out;
        char* error = nullptr;
        sqlite3_exec(
            db, sql.c_str(),
            [](void* o, int n, char** v, char**) {
                auto& s = *static_cast<std::string*>(o);
                for (int i = 0; i < n; ++i) (s += i ? "|" : "") += v[i] ? v[i] : "NULL";
                s += '\n';
                return 0;
            },
            &out, &error);
        if (error) out = std::string("error: ") + error;
        sqlite3_free(error);
        sqlite3_close(db);
        return out;
    }

    // Runs sql on the file: the first value of the last row ("" without rows), or the error.
    static std::string Query(const std::string& path, const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        std::string out;
        const int rc = sqlite3_exec(
            db, sql.c_str(),
            [](void* o, int, char** v, char**) {
                *static_cast<std::string*>(o) = v[0] ? v[0] : "";
                return 0;
            },
            &out, nullptr);
        if (rc != SQLITE_OK) out = std::string("error: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return out;
    }
    // A bill whose total is the sum of its calls' costs, with texts beyond ASCII.
    static Bill Sample(int calls, int minute = 0) {
        Bill b;
        b.operator_name = "Zoë";
        b.cabin = "Booth €1";
        b.issued = LocalTime{2026, 12, 7, 9, minute % 60, 3};
        b.calls.assign(calls, BillCall{"0044 20", "10:00:00", "125", 2.5, 3.0, 1.2, 0.5});
        b.total_cost = 2.5 * calls;
        b.total_tax = 0.5 * calls;
        b.total_cost_with_tax = 3.0 * calls;
        return b;
    }

    std::string path_;
    std::vector<std::string> reports_;
    BillsStore::Reporter reporter_ = [this](const std::string& list) { reports_.push_back(list); };
};

}  // namespace tlx::billing
