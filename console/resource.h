// Resource and control identifiers of the operator console.
#pragma once

#define IDD_MAIN_WINDOW 102
#define IDS_SOCKETS_FAILED 103
#define IDR_MAINFRAME 128
#define IDD_LOGIN 129
#define IDD_SETTINGS_PAGE 131
#define IDD_WEB_PAGE 133
#define IDD_BILLS_PAGE 139

#define IDC_PAGE_TABS 1001
#define IDC_LOGIN 1002
#define IDC_EXIT 1003
#define IDC_USER_NAME 1004
#define IDC_PASSWORD 1005
#define IDC_STATUS 1006
#define IDC_OPERATORS 1007
#define IDC_SAVE_PASSWORD 1013

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
