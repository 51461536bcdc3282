// Every setting the console keeps in its settings file (Tellarix.ini beside the program):
// section, key and what it means. Readers and writers name settings from here only.
#pragma once

#include <array>
#include <string_view>

namespace tlx::console::settings {

struct Key {
    std::string_view section;
    std::string_view key;
    std::string_view meaning;
};

inline constexpr Key kServerAddress{"NETWORK", "SERVER_IP",
                                    "server host name or dotted IPv4 address, or host:port"};
inline constexpr Key kServerPort{"NETWORK", "SERVER_PORT", "server TCP port, decimal"};
inline constexpr Key kUserName{"NETWORK", "USERNAME", "saved login user name"};
inline constexpr Key kPassword{"NETWORK", "PASSWORD", "saved login password, plain text"};
inline constexpr Key kCurrency{"MISC", "CURRENCY", "currency unit every booth shows"};
inline constexpr Key kTax{"MISC", "TAX", "tax rate in percent, decimal point or comma"};
inline constexpr Key kCompanyName{"PRINT", "COMPANY_NAME", "company name on bills"};
inline constexpr Key kFinancialId{"PRINT", "FINANCIAL_ID", "financial (tax) identifier on bills"};
inline constexpr Key kCommercialName{"PRINT", "COMMERCIAL_NAME", "commercial name on bills"};

// The single values above, for whoever needs all of them (the printed bill's labels follow).
inline constexpr std::array<Key, 9> kSingleValues = {kServerAddress, kServerPort,  kUserName,
                                                     kPassword,      kCurrency,    kTax,
                                                     kCompanyName,   kFinancialId, kCommercialName};

// Sections read whole: one operator name per line; booth key = display name.
inline constexpr std::string_view kOperatorsSection = "OPERATORS";
inline constexpr std::string_view kAliasesSection = "ALIASES";

// The printed bill's labels, in the bill's order (edited by hand in the file).
inline constexpr std::string_view kPrintSection = "PRINT";
inline constexpr std::array<Key, 13> kBillLabels = {{
    {kPrintSection, "LBL_ID_BILL", "before the bill's number"},
    {kPrintSection, "LBL_OPERATOR_NAME", "before the operator's name"},
    {kPrintSection, "LBL_CABIN_NUMBER", "before the booth's name"},
    {kPrintSection, "LBL_TEL_NR", "before each call's destination"},
    {kPrintSection, "LBL_RATE", "before each call's rate"},
    {kPrintSection, "LBL_TAX", "before each call's tax"},
    {kPrintSection, "LBL_COST", "before each call's cost"},
    {kPrintSection, "LBL_COST_TAX", "before each call's cost with tax"},
    {kPrintSection, "LBL_TOTAL_COST", "before the total cost"},
    {kPrintSection, "LBL_TOTAL_TAX", "before the total tax"},
    {kPrintSection, "LBL_TOTAL_COST_TAX", "before the total with tax"},
    {kPrintSection, "LBL_MESSAGE", "closing line"},
    {kPrintSection, "LBL_CALL_DURATION", "before each call's duration"},
}};

// A void's extra line (core/billing/layout.h prints English defaults when these are missing).
inline constexpr Key kVoidLabel{kPrintSection, "LBL_VOID",
                                "before the number of the bill a void cancels"};
inline constexpr Key kVoidReasonLabel{kPrintSection, "LBL_VOID_REASON", "before a void's reason"};

// Where the automatic backups of the bills store go (a USB stick, a share); empty or missing:
// "Backups" beside the store. Not on the settings page: set in the file.
inline constexpr Key kBackupFolder{"BACKUP", "FOLDER", "folder of the bills store's backups"};
// The X and Z reports' words, in the order of core/billing/day_report.h's ReportWord (edited by
// hand in the file; a missing one prints in English), and the highest day close number this
// console has stored, so a store restored from an older copy shows which closes it lacks.
inline constexpr std::string_view kReportsSection = "REPORTS";
inline constexpr std::array<Key, 20> kReportWords = {{
    {kReportsSection, "LBL_X_TITLE", "title of the X report"},
    {kReportsSection, "LBL_Z_TITLE", "title of the Z report, before its number"},
    {kReportsSection, "LBL_PERIOD", "before the period's start and end"},
    {kReportsSection, "LBL_BILLS", "before the number of bills"},
    {kReportsSection, "LBL_VOIDS", "before the number of voids"},
    {kReportsSection, "LBL_TOTAL_COST", "before the total cost"},
    {kReportsSection, "LBL_TOTAL_TAX", "before the total taxes"},
    {kReportsSection, "LBL_TOTAL_COST_TAX", "before the total incl. taxes"},
    {kReportsSection, "LBL_RATE", "before each tax rate"},
    {kReportsSection, "LBL_NO_CALLS", "the line of bills without calls"},
    {kReportsSection, "LBL_VOIDS_TOTAL", "before the voids' total"},
    {kReportsSection, "LBL_NET_TOTAL", "before the net total"},
    {kReportsSection, "LBL_OPENING_FLOAT", "before the opening float"},
    {kReportsSection, "LBL_EXPECTED_CASH", "before the expected cash"},
    {kReportsSection, "LBL_COUNTED_CASH", "before the counted cash"},
    {kReportsSection, "LBL_DIFFERENCE", "before counted minus expected cash"},
    {kReportsSection, "LBL_NOTE", "before the close's note"},
    {kReportsSection, "LBL_OPERATOR", "before the closing operator's name"},
    {kReportsSection, "LBL_NEXT_FLOAT", "before the next period's opening float"},
    {kReportsSection, "LBL_SEAL", "before the close's seal"},
}};
inline constexpr Key kLastDayClose{kReportsSection, "LAST_DAY_CLOSE",
                                   "highest day close number stored by this console"};

// The settings page's grid: under one category row, a row per setting it edits. The page
// finds a row by its name; the operator reads its caption.
struct GridRow {
    std::string_view name;
    std::string_view caption;
    Key setting;
};
inline constexpr std::string_view kGridCategory = "Company and tax";
inline constexpr std::array<GridRow, 4> kGridRows = {{
    {"company_name", "Company name", kCompanyName},
    {"financial_id", "Financial ID", kFinancialId},
    {"commercial_name", "Commercial name", kCommercialName},
    {"tax", "Tax [%]", kTax},
}};

}  // namespace tlx::console::settings
