#pragma once
// Control IDs shared by the dialog templates and the code that drives them.

// COPYINGDELUX, the copy-progress window
#define IDC_COPY_FILE_BAR 1010
#define IDC_COPY_FILE_NAME 1012
#define IDC_COPY_TOTAL_BAR 1019
#define IDC_COPY_ANIMATION 1020

// The program's icon: the lowest ID, so Explorer shows it for the file.
#define IDI_PROGRAM 1

// MAINDIALOG, the menu: slot i is the button 1000 + i, stacked from the bottom.
#define IDC_MENU_SLOT_0 1000
#define IDC_MENU_SLOT_1 1001
#define IDC_MENU_SLOT_2 1002
#define IDC_MENU_SLOT_3 1003
#define IDC_MENU_SLOT_4 1004
#define IDC_MENU_SLOT_5 1005
#define IDC_MENU_SLOT_6 1006
#define IDC_MENU_SLOT_7 1007
#define IDC_MENU_SLOT_8 1008

// ENDINSTALL and ENDINSTALL_SHORT, the completion dialogs
#define IDC_END_README 1007
#define IDC_END_RUN 1009
