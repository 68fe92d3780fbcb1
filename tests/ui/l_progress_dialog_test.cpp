// The progress dialog run for real: a job drives it the way Save As Wav and
// the installer do, and the test presses Cancel or Esc as a user would.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/dialog_watch.h"
#include "tests/support/owner_window.h"
#include "ui/l_dialog.h"
#include "ui/l_progress_dialog.h"
#include "ui/l_progress_dialog_res.h"

namespace zelvaro {
namespace {

using test::OwnerWindow;

// A job given as a function, with a count of its runs.
class Job final : public LProgressDialog {
public:
    explicit Job(std::function<int(Job&)> body, const char* title = "Working") : LProgressDialog(title), body(body) {}
    int Work() override {
        ++works;
        return body(*this);
    }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (onMessage) return onMessage(*this, message, wParam, lParam);
        return LProgressDialog::HandleMessage(message, wParam, lParam);
    }
    std::function<int(Job&)> body;
    std::function<INT_PTR(Job&, UINT, WPARAM, LPARAM)> onMessage;
    int works = 0;
};

std::string itemText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

int barPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

TEST(LProgressDialog, RunShowsTheDialogDisablesTheOwnerAndReturnsTheJobsResult) {
    OwnerWindow owner;
    ASSERT_NE(owner.handle, nullptr);
    bool ownerEnabledDuringWork = true;
    std::string caption, line0, line1;
    int barAtStart = -1;
    HWND seenOwner = nullptr;
    Job job([&](Job& self) {
        ownerEnabledDuringWork = IsWindowEnabled(owner.handle);
        char text[64] = {};
        GetWindowTextA(self.window, text, sizeof text);
        caption = text;
        barAtStart = barPosition(self.window);
        seenOwner = GetWindow(self.window, GW_OWNER);
        EXPECT_TRUE(IsWindowVisible(self.window));
        EXPECT_TRUE(self.running);
        self.SetText("Saving Wave File", 0);
        self.SetText("Please wait...", 1);
        line0 = itemText(self.window, IDC_PROGRESS_LINE0);
        line1 = itemText(self.window, IDC_PROGRESS_LINE1);
        EXPECT_FALSE(self.Pump());
        return 7;
    }, "Saving Wave File");

    EXPECT_EQ(job.Run(owner.handle), 7);
    EXPECT_EQ(job.works, 1);
    EXPECT_FALSE(ownerEnabledDuringWork);
    EXPECT_EQ(seenOwner, owner.handle);
    EXPECT_EQ(caption, "Saving Wave File");
    EXPECT_EQ(barAtStart, 0);
    EXPECT_EQ(line0, "Saving Wave File");
    EXPECT_EQ(line1, "Please wait...");
    EXPECT_EQ(job.window, nullptr);
    EXPECT_FALSE(job.running);
    EXPECT_TRUE(IsWindowEnabled(owner.handle));
    EXPECT_EQ(GetActiveWindow(), owner.handle);
    EXPECT_EQ(GetFocus(), owner.handle);

    // The same object runs again.
    EXPECT_EQ(job.Run(owner.handle), 7);
    EXPECT_EQ(job.works, 2);
}

TEST(LProgressDialog, TemplateHasItsControlsAndTheCancelButton) {
    struct Control {
        int id;
        const char* className;
        const char* text;
    } const controls[] = {
        {IDC_PROGRESS_LINE0, "Static", ""},
        {IDC_PROGRESS_LINE1, "Static", ""},
        {IDC_PROGRESS_BAR, "msctls_progress32", ""},
        {IDCANCEL, "Button", "Cancel"},
    };
    Job job([&](Job& self) {
        for (const Control& c : controls) {
            SCOPED_TRACE(c.id);
            HWND control = GetDlgItem(self.window, c.id);
            EXPECT_NE(control, nullptr);
            if (!control) continue;
            char name[64] = {};
            GetClassNameA(control, name, sizeof name);
            EXPECT_STRCASEEQ(name, c.className);
            EXPECT_EQ(itemText(self.window, c.id), c.text);
        }
        // The bar keeps its default range.
        PBRANGE range = {};
        SendDlgItemMessageA(self.window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 0);
        EXPECT_EQ(range.iHigh, 100);
        const LONG style = GetWindowLongA(self.window, GWL_STYLE);
        EXPECT_TRUE(style & WS_CAPTION);
        EXPECT_FALSE(style & WS_SYSMENU) << "no close box: Cancel is the way out";
        return 1;
    });
    EXPECT_EQ(job.Run(nullptr), 1);
}

TEST(LProgressDialog, ProgressIsTheFractionInPercentTruncatedAndTextLinesBeyondOneAreIgnored) {
    struct Case {
        double fraction;
        int shown;
    } const cases[] = {
        {0.0, 0}, {0.5, 50}, {0.999, 99}, {1.0, 100}, {1 / 1.1, 90}, {-0.5, 0}, {2.0, 100},
    };
    Job job([&](Job& self) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.fraction);
            self.SetProgress(c.fraction);
            EXPECT_EQ(barPosition(self.window), c.shown);
        }
        self.SetText("first", 0);
        self.SetText("second", 1);
        self.SetText("third", 2);
        self.SetText("fourth", -1);
        EXPECT_EQ(itemText(self.window, IDC_PROGRESS_LINE0), "first");
        EXPECT_EQ(itemText(self.window, IDC_PROGRESS_LINE1), "second");
        EXPECT_EQ(itemText(self.window, IDC_PROGRESS_BAR), "") << "line 2 is no control's text";
        return 1;
    });
    EXPECT_EQ(job.Run(nullptr), 1);
}

// The job steps until Pump reports the dialog gone; the user acts at step 3.
TEST(LProgressDialog, CancelByButtonOrEscEndsTheJobAtItsNextPump) {
    struct Case {
        const char* name;
        std::function<void(HWND)> press;
    } const cases[] = {
        {"button click", [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        // To the dialog's one tab stop, which has the focus while the dialog
        // is active (other programs of a parallel test run may be in front).
        {"Esc key",
         [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0x00010001); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerWindow owner;
        int steps = 0;
        bool laterPumps = true;
        HWND dialogWindow = nullptr;
        Job job([&](Job& self) {
            dialogWindow = self.window;
            while (!self.Pump()) {
                if (++steps == 3) c.press(self.window);
                if (steps > 1000) return -1;
                Sleep(1);
            }
            laterPumps = self.Pump() && self.Pump();
            // Ignored once the dialog is gone.
            self.SetText("late", 0);
            self.SetProgress(0.5);
            return steps;
        });
        EXPECT_EQ(job.Run(owner.handle), 3);
        EXPECT_TRUE(laterPumps) << "Pump keeps reporting the cancel";
        EXPECT_FALSE(IsWindow(dialogWindow));
        EXPECT_EQ(job.window, nullptr);
        EXPECT_TRUE(IsWindowEnabled(owner.handle));
        EXPECT_EQ(GetActiveWindow(), owner.handle);
        EXPECT_EQ(GetFocus(), owner.handle);
    }
}

TEST(LProgressDialog, CancelQueuedWhenTheDialogIsShownSkipsTheJob) {
    OwnerWindow owner;
    Job job([](Job&) { return 5; });
    // WM_SHOWWINDOW arrives after WM_INITDIALOG, while the dialog is being made.
    job.onMessage = [](Job& self, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_SHOWWINDOW) PostMessageA(self.window, WM_COMMAND, IDCANCEL, 0);
        return 0;
    };
    EXPECT_EQ(job.Run(owner.handle), 0);
    EXPECT_EQ(job.works, 0);
    EXPECT_TRUE(IsWindowEnabled(owner.handle));
}

TEST(LProgressDialog, RunInsideItsOwnWorkReturnsZeroAtOnce) {
    int inner = -1;
    Job job([&](Job& self) {
        inner = self.Run(nullptr);
        return 4;
    });
    EXPECT_EQ(job.Run(nullptr), 4);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(job.works, 1);
}

TEST(LProgressDialog, WithoutOwnerNoWindowIsDisabledOrEnabled) {
    OwnerWindow bystander, disabled;
    EnableWindow(disabled.handle, FALSE);
    bool bystanderEnabled = false;
    Job job([&](Job&) {
        bystanderEnabled = IsWindowEnabled(bystander.handle);
        return 1;
    });
    EXPECT_EQ(job.Run(nullptr), 1);
    EXPECT_TRUE(bystanderEnabled);
    EXPECT_FALSE(IsWindowEnabled(disabled.handle));
}

TEST(LProgressDialog, MissingTemplateReturnsZeroWithoutWorkAndLeavesTheOwnerEnabled) {
    OwnerWindow owner;
    Job job([](Job&) { return 9; });
    // A module without the template.
    setInstanceHandle(GetModuleHandleA("user32.dll"));
    const int result = job.Run(owner.handle);
    setInstanceHandle(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(job.works, 0);
    EXPECT_FALSE(job.running);
    EXPECT_TRUE(IsWindowEnabled(owner.handle));
}

TEST(LProgressDialog, OtherMessagesReachHandleMessageAndItsResultIsReturned) {
    Job job([](Job& self) {
        return static_cast<int>(SendMessageA(self.window, WM_USER + 9, 0, 0));
    });
    // A dialog procedure answers through DWLP_MSGRESULT when it returns true.
    job.onMessage = [](Job& self, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_USER + 9) return FALSE;
        SetWindowLongPtrA(self.window, DWLP_MSGRESULT, 42);
        return TRUE;
    };
    EXPECT_EQ(job.Run(nullptr), 42);
}

// Owned by the dialog; after Cancel (a failure found while the job closes its
// file) by Run's owner, which is still disabled and would otherwise hide it.
TEST(LProgressDialog, ShowErrorIsAMessageBoxOwnedByTheDialogOrAfterCancelByTheOwner) {
    for (bool cancelled : {false, true}) {
        SCOPED_TRACE(cancelled ? "after Cancel" : "while the dialog is up");
        OwnerWindow owner;
        HWND dialogWindow = nullptr;
        test::DialogWatch watch("#32770", "Error", IDOK);
        Job job([&](Job& self) {
            dialogWindow = self.window;
            if (cancelled) {
                PostMessageA(self.window, WM_COMMAND, IDCANCEL, 0);
                EXPECT_TRUE(self.Pump());
            }
            self.ShowError("The disk is full.");
            return 1;
        });
        EXPECT_EQ(job.Run(owner.handle), 1);
        const test::SeenDialog& seen = watch.wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.owner, cancelled ? owner.handle : dialogWindow);
        EXPECT_EQ(seen.text, "The disk is full.");
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
        EXPECT_TRUE(IsWindowEnabled(owner.handle));
    }
}

}  // namespace
}  // namespace zelvaro
