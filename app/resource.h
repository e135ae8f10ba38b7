// Resource ids shared by lintora.rc and the program.
#pragma once

#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDI_APP 128
#define IDB_BANNER 129

#define IDC_DISK_LIST 1000
#define IDC_PROGRESS 1001
#define IDC_STATUS 1002
#define IDC_FORMATTING 1003
#define IDC_CONFIRM 1004
#define IDC_CLOSE 1005
#define IDC_VERSION 1006

#define IDS_ABOUT_ITEM 101
#define IDS_LICENCE_ITEM 102
#define IDS_NO_DISK 103
#define IDS_FORMAT_FAILED 104
#define IDS_WARNING 105
#define IDS_CANNOT_FORMAT 106
#define IDS_FINISHED 107
#define IDS_TOO_MANY_DISKS 108
#define IDS_NOT_SUPPORTED 109
#define IDS_IN_USE 530
#define IDS_REMOTE 531
#define IDS_NOT_ADMIN 532
#define IDS_TITLE 57344

#define IDM_ABOUT 0x0010
#define IDM_LICENCE 0x0020
