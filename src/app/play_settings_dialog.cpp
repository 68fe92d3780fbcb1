#include "app/play_settings_dialog.h"

#include <cstdint>

#include "app/help/help_viewer.h"
#include "app/play_settings_dialog_res.h"
#include "app/program_folder.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "audio/output_devices.h"
#include "ui/l_db_edit.h"

namespace zelvaro {

namespace {

constexpr char kSection[] = "settings";
constexpr char kPureSynthesisKey[] = "puresynthesis";
constexpr int kHelpContext = 101;

}  // namespace

void PlaySettingsDialog::OnInitDialog() {
    fillPlayDeviceList(window, IDC_PLAY_DEVICE,
                       static_cast<int8_t>(ReadIniInt(settingsPath, kSection, "playdevice", 0)));
    SendDlgItemMessageA(window, IDC_PLAY_VOLUME, LDBM_SETVALUE, 0,
                        ReadIniDb(settingsPath, kSection, "playvolume", 0));
    CheckDlgButton(window, IDC_AUTOPLAY,
                   ReadIniBool(settingsPath, kSection, "autoplay", false) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_PURE_SYNTHESIS, PureSynthesisChosen() ? BST_CHECKED : BST_UNCHECKED);
}

bool PlaySettingsDialog::OnOK() {
    // No selection (an empty list) gives -1, the wave mapper.
    const auto device = static_cast<int8_t>(SendDlgItemMessageA(window, IDC_PLAY_DEVICE, CB_GETCURSEL, 0, 0));
    WriteIniInt(settingsPath, kSection, "playdevice", device);
    const auto volume =
        static_cast<DbValue>(SendDlgItemMessageA(window, IDC_PLAY_VOLUME, LDBM_GETVALUE, 0, 0) & 0xFF);
    WriteIniDb(settingsPath, kSection, "playvolume", volume);
    WritePrivateProfileStringA(kSection, "autoplay",
                               IsDlgButtonChecked(window, IDC_AUTOPLAY) == BST_CHECKED ? "true" : "false",
                               settingsPath);
    WritePrivateProfileStringA(kSection, kPureSynthesisKey,
                               IsDlgButtonChecked(window, IDC_PURE_SYNTHESIS) == BST_CHECKED ? "true" : "false",
                               settingsPath);
    return true;
}

BOOL(WINAPI* PlaySettingsDialog::openHelp)(HWND, LPCSTR, UINT, ULONG_PTR) = ShowHelp;

void PlaySettingsDialog::OnHelp() { openHelp(window, programFile(kHelpFile).c_str(), HELP_CONTEXT, kHelpContext); }

bool PureSynthesisChosen() { return ReadIniBool(settingsPath, kSection, kPureSynthesisKey, false); }

bool ShowPlaySettings(HWND owner) {
    RegisterDbEditClass();
    PlaySettingsDialog dialog;
    return dialog.RunModal(owner, MAKEINTRESOURCEA(IDD_PLAY_SETTINGS)) == IDOK;
}

}  // namespace zelvaro
