/* Resource and control identifiers, shared by the .rc and the code. */
#ifndef VARDEL_RES_RESOURCE_H
#define VARDEL_RES_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_LUNMODE_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_LUN0_EDIT 1002
#define IDC_STATUS_BUTTON 1003
#define IDC_LUN1_EDIT 1004
#define IDC_LUN0_REMOVABLE 1005
#define IDC_LUN1_REMOVABLE 1006
#define IDC_LUN0_FIXED 1007
#define IDC_LUN1_FIXED 1008

/* System-menu command of the about entry; the low four bits belong to the system. */
#define IDM_ABOUTBOX 0x0010

#endif
