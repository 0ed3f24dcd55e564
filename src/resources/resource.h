#pragma once
// Control IDs shared by the dialog templates and the code that drives them.

// COPYINGDELUX, the copy-progress window
#define IDC_COPY_FILE_BAR 1010
#define IDC_COPY_FILE_NAME 1012
#define IDC_COPY_TOTAL_BAR 1019
#define IDC_COPY_ANIMATION 1020

// ENDINSTALL and ENDINSTALL_SHORT, the completion dialogs
#define IDC_END_README 1007
#define IDC_END_RUN 1009
