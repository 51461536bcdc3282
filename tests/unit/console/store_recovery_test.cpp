#include "core/console/store_recovery.h"

#include <gtest/gtest.h>

namespace tlx::console {
namespace {

namespace billing = tlx::billing;

TEST(StoreRecovery, RegionalCsvFormatFallsBackToWhatCsvCanCarry) {
    struct Case {
        const char *list, *decimal;
        char separator, decimal_sign;
    };
    const Case cases[] = {
        {",", ".", ',', '.'},        {";", ",", ';', ','},  {"\t", ".", '\t', '.'},
        {",", ",", ';', ','},  // a separator that reads as the decimal sign
        {"", ",", ';', ','},         {"\"", ".", ',', '.'}, {"\n", ".", ',', '.'},
        {"\xD8\x9B", ".", ',', '.'},  // one letter, but not one byte
        {";", "\xC2\xB7", ';', '.'}, {";", "", ';', '.'},
    };
    for (const auto& c : cases) {
        const auto format = CsvFormatOfRegion(c.list, c.decimal);
        EXPECT_EQ(format.separator, c.separator) << c.list << " / " << c.decimal;
        EXPECT_EQ(format.decimal_sign, c.decimal_sign) << c.list << " / " << c.decimal;
    }
}

TEST(StoreRecovery, FailedBackupIsToldOncePerStart) {
    BackupNotices notices;
    billing::BackupOutcome made, not_due, failed;
    made.kind = billing::BackupOutcome::Kind::kMade;
    not_due.kind = billing::BackupOutcome::Kind::kNotDue;
    failed.message = "No backup was made: the folder E:\\Shop cannot be found.";
    EXPECT_FALSE(notices.Tell(made));
    EXPECT_FALSE(notices.Tell(not_due));
    const auto first = notices.Tell(failed);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rfind(failed.message, 0), 0u) << *first;
    EXPECT_FALSE(notices.Tell(failed));
    EXPECT_FALSE(notices.Tell(made));
}

TEST(StoreRecovery, DamagedStoreNamesWhatIsWrongAndTheBackup) {
    billing::HealthCheck health;
    health.found = true;
    health.what = "bill 2 was changed";
    const std::string question =
        DamagedStoreQuestion(health, "Backups/bills-2026-12-07-093005.mdb");
    EXPECT_NE(question.find("damaged: bill 2 was changed."), std::string::npos) << question;
    EXPECT_NE(question.find("Backups/bills-2026-12-07-093005.mdb, made on 2026-12-07 09:30:05"),
              std::string::npos)
        << question;
    // A copy named otherwise is named by its path alone.
    EXPECT_NE(DamagedStoreQuestion(health, "D:\\copy.mdb").find("made on D:\\copy.mdb"),
              std::string::npos);
    EXPECT_NE(DamagedStoreNoBackup(health, "Backups").find("No good backup was found in Backups."),
              std::string::npos);
}

TEST(StoreRecovery, FolderRangeAndSummaryOfAnExport) {
    EXPECT_EQ(BackupFolderFor("  E:\\Shop backups \t", "bills.mdb"), "E:\\Shop backups");
    EXPECT_EQ(BackupFolderFor(" ", "C:/Shop/bills.mdb"),
              billing::DefaultBackupFolder("C:/Shop/bills.mdb"));
    EXPECT_EQ(IsoDate(2026, 2, 3), "2026-02-03");

    EXPECT_EQ(ExportRangeProblem("2026-12-01", "2026-12-01", "C:\\Out"), "");
    EXPECT_NE(ExportRangeProblem("2026-12-02", "2026-12-01", "C:\\Out"), "");
    EXPECT_NE(ExportRangeProblem("2026-12-01", "2026-12-31", "  "), "");

    billing::ExportOutcome one{true, 1, 1, ""}, many{true, 12, 30, ""}, failed{};
    failed.message = "Nothing was exported: the folder X cannot be found.";
    EXPECT_EQ(ExportSummary(one, "C:\\Out"),
              "1 bill and 1 call exported to C:\\Out (bills.csv, calls.csv).");
    EXPECT_EQ(ExportSummary(many, "C:\\Out").substr(0, 22), "12 bills and 30 calls ");
    EXPECT_EQ(ExportSummary(failed, "C:\\Out"), failed.message);
}

}  // namespace
}  // namespace tlx::console
