// Identifiers of the update dialogs' templates, controls and strings. Shared
// by the resource scripts of every language and by the dialog classes.
#pragma once

// Dialog templates.
#define IDD_PROGRESS                    102
#define IDD_UPDATE                      1002
#define IDD_INSTALL                     1004
#define IDD_CRM_VIEWER                  1023

// Controls (IDOK and IDCANCEL are the dialog manager's 1 and 2).
#define IDC_PROGRESS                    1001
#define IDC_TXT_DOWNLOAD_STATUS         1003
#define IDC_TXT_TITLE                   1005
#define IDC_TXT_MESSAGE                 1006
#define IDC_CHECK_SEND_CRM_DATA         1007
#define IDC_TXT_PRODUCT                 1008
#define IDC_TXT_UPDATE                  1009
#define IDC_BTN_WHATS_NEW               1010
#define IDC_CHECK_DONT_SHOW_AGAIN       1011
#define IDC_TXT_INSTALL_WHEN            1012
#define IDC_BTN_LATER                   1013
#define IDC_BTN_SHOW_CRM                1015
#define IDC_TXT_WAIT                    1016
#define IDC_ACTIVITY                    1017
#define IDC_TXT_NO_PATCH_AVAILABLE      1018
#define IDC_TXT_PLEASE_WAIT             1019
#define IDC_BROWSER                     1020
#define IDC_EDIT_CRM                    1022

// Texts of the transfer engine.
#define IDS_FILE_EXISTS                 103
#define IDS_DOWNLOADING_FILE            104
#define IDS_CONNECTING                  105
#define IDS_SENDING_REQUEST             106
#define IDS_TRANSFERRING_FILE           107
#define IDS_DONE                        108
#define IDS_NO_NEW_VERSION              109
#define IDS_CANNOT_CONNECT              110

// Unit names of byte sizes: short, medium and long form for 1024^0 to 1024^6.
#define IDS_UNIT_BYTES                  113
#define IDS_UNIT_BYTES_MEDIUM           114
#define IDS_UNIT_BYTES_LONG             115
#define IDS_UNIT_KB                     116
#define IDS_UNIT_KB_MEDIUM              117
#define IDS_UNIT_KB_LONG                118
#define IDS_UNIT_MB                     119
#define IDS_UNIT_MB_MEDIUM              120
#define IDS_UNIT_MB_LONG                121
#define IDS_UNIT_GB                     122
#define IDS_UNIT_GB_MEDIUM              123
#define IDS_UNIT_GB_LONG                124
#define IDS_UNIT_TB                     125
#define IDS_UNIT_TB_MEDIUM              126
#define IDS_UNIT_TB_LONG                127
#define IDS_UNIT_PB                     128
#define IDS_UNIT_PB_MEDIUM              129
#define IDS_UNIT_PB_LONG                130
#define IDS_UNIT_EB                     131
#define IDS_UNIT_EB_MEDIUM              132
#define IDS_UNIT_EB_LONG                133

// Unit names of durations: short and long form.
#define IDS_UNIT_SECONDS                134
#define IDS_UNIT_SECONDS_LONG           135
#define IDS_UNIT_MINUTES                136
#define IDS_UNIT_MINUTES_LONG           137
#define IDS_UNIT_HOURS                  138
#define IDS_UNIT_HOURS_LONG             139
#define IDS_UNIT_DAYS                   140
#define IDS_UNIT_DAYS_LONG              141

// Texts of the update and progress dialogs.
#define IDS_CLOSE                       142
#define IDS_DOWNLOADING                 143
#define IDS_DOWNLOAD_UPDATE             144
#define IDS_CHECK_FAILED                145
#define IDS_PROGRESS_FORMAT             146
#define IDS_DOWNLOAD_MESSAGE            147
#define IDS_UPDATE_CORRUPT              148
#define IDS_CANCEL                      149
#define IDS_NO                          150
#define IDS_RESTART_QUESTION            151
#define IDS_CHECKING_UPDATE             152
#define IDS_TRANSFERRING_PROGRAM_FILES  1024
