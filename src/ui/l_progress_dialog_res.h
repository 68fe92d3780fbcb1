// Resource ids of l_progress_dialog.rc.
#pragma once

// 100: the progress dialog "LPROGRESSDIALOG" (a named template)
#define IDC_PROGRESS_LINE0 100
#define IDC_PROGRESS_LINE1 101
#define IDC_PROGRESS_BAR 102
#define IDC_PROGRESS_ICON 103
