#include "installer/licence_terms_dialog.h"

#include "installer/installer_res.h"

namespace zelvaro {

const char kLicenceTerms[] =
    "ZELVARO LICENCE TERMS\r\n"
    "\r\n"
    "These terms are an agreement between you and Quorrel about Zelvaro, the "
    "signal generator, its help file and its setup program (\"the software\"). "
    "By pressing \"I Agree\" you accept them; if you do not accept them, press "
    "\"I Do Not Agree\" and nothing will be installed.\r\n"
    "\r\n"
    "1. Use. You may install and use the software on any number of your own "
    "computers, at home or at work.\r\n"
    "\r\n"
    "2. Copies. You may copy the unchanged setup file and give it to others "
    "free of charge. You may not sell it, nor pass it on in a changed form.\r\n"
    "\r\n"
    "3. Your files. Sound and tone files you make with the software are yours "
    "to use as you like.\r\n"
    "\r\n"
    "4. Hearing and equipment. The software can play loud and high-pitched "
    "sounds. Start at a low volume, and never play tones that could harm "
    "your hearing, anyone else's, or your loudspeakers.\r\n"
    "\r\n"
    "5. No warranty. The software is provided as it is, without any warranty. "
    "Quorrel is not liable for any loss or damage arising from its use, "
    "except where the law does not allow such a limit.\r\n"
    "\r\n"
    "6. Removal. You may remove the software at any time with its "
    "uninstaller; these terms then end.\r\n";

void LicenceTermsDialog::OnInitDialog() {
    SetDlgItemTextA(window, IDC_LICENCE_TEXT, kLicenceTerms);
    ScaleItemIcon(IDC_LICENCE_ICON, 1);
    // Posted, so that they come after the dialog manager's own choice of
    // focus: the user starts on "I Agree", reading the terms from the top.
    PostMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)), TRUE);
    HWND text = GetDlgItem(window, IDC_LICENCE_TEXT);
    PostMessageA(text, EM_SETSEL, 0, 0);
    PostMessageA(text, EM_SCROLLCARET, 0, 0);
}

}  // namespace zelvaro
