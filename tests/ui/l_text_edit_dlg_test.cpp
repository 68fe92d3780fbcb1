// LTextEditDlg run modally, typed into and answered from a helper thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/dialog_watch.h"
#include "ui/l_text_edit_dlg.h"
#include "ui/l_text_edit_dlg_res.h"

namespace zelvaro::test {
namespace {

struct Outcome {
    INT_PTR result;
    std::string text;
    std::string shown;     // the edit box's text as the dialog came up
    DWORD selStart, selEnd;
};

// Runs the dialog with `caption` and `initial`; the helper types `typed`
// (when set) and then sends `key` to the edit box or clicks `button`.
Outcome runDialog(const char* caption, const std::string& initial, const char* typed, WPARAM key,
                  WORD button) {
    char text[kTextEditSize];
    lstrcpynA(text, initial.c_str(), kTextEditSize);
    Outcome outcome = {};
    DialogWatch user("#32770", caption, 0, [&](HWND dialog) {
        Sleep(50);
        HWND edit = GetDlgItem(dialog, IDC_TEXT_EDIT);
        char shown[400] = {};
        GetWindowTextA(edit, shown, sizeof shown);
        outcome.shown = shown;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&outcome.selStart),
                     reinterpret_cast<LPARAM>(&outcome.selEnd));
        if (typed && std::strlen(typed) > 30) {
            // More than the box shows (it does not scroll): put in as a paste would.
            SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed));
            SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
        } else if (typed) {
            for (const char* c = typed; *c; ++c)
                SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
        }
        if (key) {
            // Keys come through the dialog's own loop, as from the keyboard.
            PostMessageA(edit, WM_KEYDOWN, key, 1);
            PostMessageA(edit, WM_KEYUP, key, 0xC0000001);
        } else {
            PostMessageA(dialog, WM_COMMAND, button, 0);
        }
    });
    LTextEditDlg dialog;
    dialog.text = text;
    dialog.caption = caption;
    outcome.result = dialog.Run(nullptr);
    EXPECT_TRUE(user.wait().found) << caption;
    outcome.text = text;
    return outcome;
}

TEST(LTextEditDlg, StartsWithTheTextSelectedAndReturnsWhatWasTyped) {
    const std::string longText(300, '7');
    struct Case {
        const char* name;
        const char* typed;
        WPARAM key;
        WORD button;
        INT_PTR result;
        std::string text;
    } const cases[] = {
        {"typed, OK", "1500", 0, IDOK, IDOK, "1500"},
        {"typed, Enter", "-6", VK_RETURN, 0, IDOK, "-6"},
        {"OK without typing leaves the text", nullptr, 0, IDOK, IDOK, "440.00Hz"},
        {"typed, Cancel", "99", 0, IDCANCEL, IDCANCEL, "440.00Hz"},
        {"typed, Esc", "99", VK_ESCAPE, 0, IDCANCEL, "440.00Hz"},
        {"longer than 259 characters is cut", longText.c_str(), 0, IDOK, IDOK,
         std::string(259, '7')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = runDialog("Sine 1 Frequency", "440.00Hz", c.typed, c.key, c.button);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.text, c.text);
        EXPECT_EQ(outcome.shown, "440.00Hz");
        EXPECT_EQ(outcome.selStart, 0u);
        EXPECT_EQ(outcome.selEnd, 8u) << "all of the text is selected, so typing replaces it";
    }
}

TEST(LTextEditDlg, TemplateGivesTheCaptionTheEditAndTwoButtons) {
    std::string okText, cancelText;
    LONG editWidth = 0, expectedWidth = -1;
    DialogWatch user("#32770", "Sine Duration", IDCANCEL, [&](HWND dialog) {
        char text[32] = {};
        GetDlgItemTextA(dialog, IDOK, text, sizeof text);
        okText = text;
        GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
        cancelText = text;
        RECT units = {0, 0, 126, 12};
        MapDialogRect(dialog, &units);
        expectedWidth = units.right;
        RECT actual;
        GetWindowRect(GetDlgItem(dialog, IDC_TEXT_EDIT), &actual);
        editWidth = actual.right - actual.left;
    });
    char text[kTextEditSize] = "1000ms";
    LTextEditDlg dialog;
    dialog.text = text;
    dialog.caption = "Sine Duration";
    EXPECT_EQ(dialog.Run(nullptr), IDCANCEL);
    ASSERT_TRUE(user.wait().found) << "the dialog takes the caption it is given";
    EXPECT_EQ(okText, "OK");
    EXPECT_EQ(cancelText, "Cancel");
    EXPECT_EQ(editWidth, expectedWidth) << "the edit box is 126 dialog units wide";
}

}  // namespace
}  // namespace zelvaro::test
