// Resource ids of l_text_edit_dlg.rc.
#pragma once

// 100: the one-line text edit dialog
#define IDC_TEXT_EDIT 100
