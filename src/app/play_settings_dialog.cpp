#include "app/play_settings_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

#include "app/help/help_viewer.h"
#include "app/play_choices.h"
#include "app/play_settings_dialog_res.h"
#include "app/program_folder.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "audio/output_devices.h"
#include "ui/l_db_edit.h"

namespace zelvaro {

namespace {

constexpr char kSection[] = "settings";
constexpr int kHelpContext = 101;

struct FormatItem {
    SampleEncoding encoding;
    const char* text;
};
constexpr FormatItem kFormatItems[] = {
    {SampleEncoding::kPcm16, "16-bit PCM, TPDF dither"},
    {SampleEncoding::kPcm24, "24-bit PCM"},
    {SampleEncoding::kFloat32, "32-bit float"},
};

std::string& formatNote() {
    static std::string note;
    return note;
}

std::string levelFieldText(HWND dialog) {
    char text[32] = "";
    GetDlgItemTextA(dialog, IDC_LEVEL, text, sizeof text);
    return text;
}

}  // namespace

void PlaySettingsDialog::OnInitDialog() {
    fillPlayDeviceList(window, IDC_PLAY_DEVICE,
                       static_cast<int8_t>(ReadIniInt(settingsPath, kSection, "playdevice", 0)));
    SendDlgItemMessageA(window, IDC_PLAY_VOLUME, LDBM_SETVALUE, 0,
                        ReadIniDb(settingsPath, kSection, "playvolume", 0));
    CheckDlgButton(window, IDC_AUTOPLAY,
                   ReadIniBool(settingsPath, kSection, "autoplay", false) ? BST_CHECKED : BST_UNCHECKED);

    const PlayChoices choices = ReadPlayChoices();
    CheckDlgButton(window, IDC_PURE_SYNTHESIS, choices.pure ? BST_CHECKED : BST_UNCHECKED);
    HWND rates = GetDlgItem(window, IDC_SAMPLE_RATE);
    for (int32_t rate : kPlayRates) {
        const std::string text = describePlayFormat({rate, SampleEncoding::kPcm16});
        // "44,100 Hz" without the format's words.
        const LRESULT item = SendMessageA(rates, CB_ADDSTRING, 0,
                                          reinterpret_cast<LPARAM>(text.substr(0, text.find(" Hz") + 3).c_str()));
        SendMessageA(rates, CB_SETITEMDATA, static_cast<WPARAM>(item), rate);
        if (rate == choices.format.sampleRate)
            SendMessageA(rates, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    }
    HWND formats = GetDlgItem(window, IDC_SAMPLE_FORMAT);
    for (const FormatItem& format : kFormatItems) {
        const LRESULT item = SendMessageA(formats, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(format.text));
        if (format.encoding == choices.format.encoding)
            SendMessageA(formats, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    }
    SendDlgItemMessageA(window, IDC_LEVEL, EM_SETLIMITTEXT, 12, 0);
    SetDlgItemTextA(window, IDC_LEVEL, levelText(choices.levelCentiDb).c_str());
    SendDlgItemMessageA(window, IDC_LEVEL_SPIN, UDM_SETRANGE32, kLowestLevelCentiDb, kHighestLevelCentiDb);
    SendDlgItemMessageA(window, IDC_LEVEL_SPIN, UDM_SETPOS32, 0, choices.levelCentiDb);
    ShowRms();
    SetDlgItemTextA(window, IDC_FORMAT_NOTE, formatNote().c_str());
}

void PlaySettingsDialog::ShowRms() {
    const std::optional<int32_t> level = parseLevelCentiDb(levelFieldText(window));
    SetDlgItemTextA(window, IDC_LEVEL_RMS, level ? RmsText(*level).c_str() : "type -140.00 to 0.00");
}

void PlaySettingsDialog::UpdateControls() {
    const bool pure = IsDlgButtonChecked(window, IDC_PURE_SYNTHESIS) == BST_CHECKED;
    for (int id : {IDC_SAMPLE_RATE, IDC_SAMPLE_FORMAT, IDC_LEVEL, IDC_LEVEL_SPIN})
        EnableWindow(GetDlgItem(window, id), pure);
    // With pure synthesis the mixer is not written: the level is in the samples.
    EnableWindow(GetDlgItem(window, IDC_PLAY_VOLUME), !pure);
    EnableWindow(GetDlgItem(window, IDOK), parseLevelCentiDb(levelFieldText(window)).has_value());
}

void PlaySettingsDialog::OnCommand(WORD id, WORD notification) {
    if (id == IDC_LEVEL && notification == EN_CHANGE)
        ShowRms();
}

INT_PTR PlaySettingsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_LEVEL_SPIN && header->code == UDN_DELTAPOS) {
            const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
            // From the text, which the user may have typed; an unreadable one
            // steps from the default.
            const int32_t level = parseLevelCentiDb(levelFieldText(window)).value_or(kDefaultLevelCentiDb);
            const int32_t stepped =
                std::clamp(level + static_cast<int32_t>(change->iDelta), kLowestLevelCentiDb, kHighestLevelCentiDb);
            SetDlgItemTextA(window, IDC_LEVEL, levelText(stepped).c_str());
            SendDlgItemMessageA(window, IDC_LEVEL_SPIN, UDM_SETPOS32, 0, stepped);
            UpdateControls();
            // The text holds the value; the control's own position is not moved again.
            SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
    }
    return LDialog::HandleMessage(message, wParam, lParam);
}

bool PlaySettingsDialog::OnOK() {
    const std::optional<int32_t> level = parseLevelCentiDb(levelFieldText(window));
    if (!level)
        return false;
    // No selection (an empty list) gives -1, the wave mapper.
    const auto device = static_cast<int8_t>(SendDlgItemMessageA(window, IDC_PLAY_DEVICE, CB_GETCURSEL, 0, 0));
    WriteIniInt(settingsPath, kSection, "playdevice", device);
    const auto volume =
        static_cast<DbValue>(SendDlgItemMessageA(window, IDC_PLAY_VOLUME, LDBM_GETVALUE, 0, 0) & 0xFF);
    WriteIniDb(settingsPath, kSection, "playvolume", volume);
    WritePrivateProfileStringA(kSection, "autoplay",
                               IsDlgButtonChecked(window, IDC_AUTOPLAY) == BST_CHECKED ? "true" : "false",
                               settingsPath);
    PlayChoices choices;
    choices.pure = IsDlgButtonChecked(window, IDC_PURE_SYNTHESIS) == BST_CHECKED;
    const LRESULT rateItem = SendDlgItemMessageA(window, IDC_SAMPLE_RATE, CB_GETCURSEL, 0, 0);
    if (rateItem >= 0)
        choices.format.sampleRate =
            static_cast<int32_t>(SendDlgItemMessageA(window, IDC_SAMPLE_RATE, CB_GETITEMDATA, rateItem, 0));
    const LRESULT formatItem = SendDlgItemMessageA(window, IDC_SAMPLE_FORMAT, CB_GETCURSEL, 0, 0);
    if (formatItem >= 0 && formatItem < static_cast<LRESULT>(std::size(kFormatItems)))
        choices.format.encoding = kFormatItems[formatItem].encoding;
    choices.levelCentiDb = *level;
    WritePlayChoices(choices);
    return true;
}

BOOL(WINAPI* PlaySettingsDialog::openHelp)(HWND, LPCSTR, UINT, ULONG_PTR) = ShowHelp;

void PlaySettingsDialog::OnHelp() { openHelp(window, programFile(kHelpFile).c_str(), HELP_CONTEXT, kHelpContext); }

bool PureSynthesisChosen() { return ReadPlayChoices().pure; }

void SetPlaybackFormatNote(const std::string& note) { formatNote() = note; }

const std::string& PlaybackFormatNote() { return formatNote(); }

bool ShowPlaySettings(HWND owner) {
    RegisterDbEditClass();
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);
    PlaySettingsDialog dialog;
    return dialog.RunModal(owner, MAKEINTRESOURCEA(IDD_PLAY_SETTINGS)) == IDOK;
}

}  // namespace zelvaro
