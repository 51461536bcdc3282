// A store of the test's own with a backup folder beside it, both gone afterwards, and plain
// reads and writes on any file (as another program would make them).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/billing/ledger.h"
#include "core/billing/store.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {

class BackupFixture : public TempStore {
  protected:
    BackupFixture() : folder_(path_ + ".backups") { std::filesystem::create_directory(folder_); }
    ~BackupFixture() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // A store of the given edition with `bills` bills of one to three calls.
    void MakeStore(int edition, int bills) {
        std::string schema(StoreSchema());
        if (edition >= 2) schema.append(";").append(LedgerSchema());
        ASSERT_EQ(Query(path_, schema).rfind("error", 0), std::string::npos);
        AddBills(bills);
    }
    void AddBills(int bills) {
        BillsStore store;
        ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
        for (int i = 0; i < bills; ++i) {
            Bill b = Sample(1 + i % 3, i);
            store.StoreBill(b, [](const std::string& e) { ADD_FAILURE() << e; });
        }
    }
    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Overwrite(const std::string& path, std::streamoff at, const std::string& bytes) {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(at);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // The names of the folder's files, sorted.
    static std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // What is beside the store under its name, as the ends added to it ("" for the store).
    std::vector<std::string> FilesBeside() const {
        const std::filesystem::path store(path_);
        std::vector<std::string> ends;
        for (const auto& name : FilesIn(store.parent_path().string())) {
            if (name.rfind(store.filename().string(), 0) == 0)
                ends.push_back(name.substr(store.filename().string().size()));
        }
        return ends;
    }

    std::string folder_;
};

}  // namespace tlx::billing
