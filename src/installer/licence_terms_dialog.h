// The terms the user accepts before anything is installed.
#pragma once

#include "ui/l_dialog.h"

namespace zelvaro {

// Template "LicenceTermsDlg": the terms in a read-only box, "I Agree" (OK)
// and "I Do Not Agree" (Cancel).
class LicenceTermsDialog : public LDialog {
public:
    void OnInitDialog() override;
};

extern const char kLicenceTerms[];

}  // namespace zelvaro
