// Identifiers of the window-system test resources.
#pragma once

#define IDD_TEST_DIALOG         100
#define IDD_PLAIN_DIALOG        101
#define IDD_GERMAN_ONLY         102
#define IDD_NEUTRAL_FRENCH      103

#define IDC_TXT_TITLE           1001
#define IDC_TXT_CENTER          1002
#define IDC_TXT_RIGHT           1003
#define IDC_EDIT_NAME           1004
#define IDC_EDIT_LOG            1005
#define IDC_CHK_OPTION          1006
#define IDC_GRP_OPTIONS         1007
#define IDC_PROGRESS            1008
#define IDC_BTN_APPLY           1009

#define IDS_FIRST               16
#define IDS_SECOND              17
#define IDS_EMPTY               18
#define IDS_LAST_IN_BLOCK       31
#define IDS_ONLY_UK             40
#define IDS_QUOTES              41
