#include "ui/l_text_edit_dlg.h"

#include <cstring>

#include "ui/l_text_edit_dlg_res.h"

namespace zelvaro {

void LTextEditDlg::OnInitDialog() {
    SetWindowTextA(window, caption ? caption : "");
    SetDlgItemTextA(window, IDC_TEXT_EDIT, text ? text : "");
    // Everything selected, so that typing replaces the old value.
    const LPARAM length = text ? static_cast<LPARAM>(std::strlen(text)) : 0;
    SendDlgItemMessageA(window, IDC_TEXT_EDIT, EM_SETSEL, 0, length);
    SetFocus(GetDlgItem(window, IDC_TEXT_EDIT));
}

bool LTextEditDlg::OnOK() {
    if (text && SendDlgItemMessageA(window, IDC_TEXT_EDIT, EM_GETMODIFY, 0, 0))
        GetItemText(IDC_TEXT_EDIT, text);
    return true;
}

}  // namespace zelvaro
