// Resource and control identifiers of the operator console.
#pragma once

#define IDD_MAIN_WINDOW 102
#define IDS_SOCKETS_FAILED 103
#define IDR_MAINFRAME 128
#define IDD_LOGIN 129
#define IDD_SETTINGS_PAGE 131
#define IDD_BOOTH_NAME 132
#define IDD_WEB_PAGE 133
#define IDD_BILLS_PAGE 139
#define IDD_VOID_REASON 140
#define IDD_EXPORT 141
// Beside the bills page: export (141), day close (142, 143), preview (144).
#define IDD_DAY_CLOSE 142
#define IDD_OPENING_FLOAT 143

#define IDC_PAGE_TABS 1001
#define IDC_LOGIN 1002
#define IDC_EXIT 1003
#define IDC_USER_NAME 1004
#define IDC_PASSWORD 1005
#define IDC_STATUS 1006
#define IDC_OPERATORS 1007
#define IDC_SAVE_PASSWORD 1013

// The settings page and its booth name window.
#define IDC_BOOTH_LIST 1009
#define IDC_BOOTH_NAME 1010
#define IDC_SERVER_NAME 1011
#define IDC_EDIT_BOOTH 1012
#define IDC_OTHER_CURRENCY 1017
#define IDC_CURRENCY_BOX 1018
#define IDC_DOLLAR 1019
#define IDC_EURO 1020
#define IDC_OTHER 1021
#define IDC_BILL_GRID 1024
#define IDC_SAVE_SETTINGS 1031
// The web page.
#define IDC_BROWSER 1022

// The bills page.
#define IDC_BILLS_GRID 1025
#define IDC_CALLS_GRID 1027
#define IDC_REPRINT 1028
#define IDC_VOID 1032
#define IDC_BILL_STATE 1033
#define IDC_STORE_CHECK 1034
#define IDC_VOID_REASON 1035
#define IDC_PREVIEW 1036
#define IDC_SAVE_PDF 1037
#define IDC_EXPORT 1038
#define IDC_DAY_CLOSE 1039
#define IDC_PRINT_OUTCOME 1040
// Their dialogs' controls: export 1041-1049, preview and PDF 1050-1059, print outcomes
// 1060-1069, day close 1070-1099.
#define IDC_DAY_FIGURES 1070
#define IDC_COUNTED_CASH 1071
#define IDC_CASH_DIFFERENCE 1072
#define IDC_CLOSE_NOTE 1073
#define IDC_PRINT_X 1074
#define IDC_CLOSE_DAY 1075
#define IDC_CLOSE_HISTORY 1076
#define IDC_REPRINT_CLOSE 1077
#define IDC_MISSING_CLOSES 1078
#define IDC_OPENING_FLOAT 1080

// The export dialog.
#define IDC_EXPORT_FROM 1041
#define IDC_EXPORT_TO 1042
#define IDC_EXPORT_FOLDER 1043
#define IDC_EXPORT_BROWSE 1044

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
