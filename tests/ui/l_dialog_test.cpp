// The dialog classes, driven the way Windows drives them: messages are sent
// to a real dialog window and the object's state is read back.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/owner_window.h"
#include "tests/ui/ui_test_resource.h"
#include "ui/l_dialog.h"

namespace zelvaro {
namespace {

// Records every virtual operation the dialog procedure calls.
template <class Base>
class Recorder : public Base {
public:
    void OnInitDialog() override { ++inits; }
    bool OnOK() override {
        ++oks;
        return acceptOk;
    }
    bool OnCancel() override {
        ++cancels;
        return true;
    }
    void OnHelp() override { ++helps; }
    void UpdateControls() override { ++updates; }
    void OnCommand(WORD id, WORD notification) override {
        ++commands;
        lastId = id;
        lastNotification = notification;
    }
    void OnDestroy() override { ++destroys; }

    bool acceptOk = true;
    int inits = 0, oks = 0, cancels = 0, helps = 0, updates = 0, commands = 0, destroys = 0;
    WORD lastId = 0, lastNotification = 0;
};

using ModelessRecorder = Recorder<LModelessDialog>;

HWND createModeless(LDialog& dialog) {
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TEST), nullptr,
                              LDialogProc, reinterpret_cast<LPARAM>(&dialog));
}

TEST(LDialog, InitBindsTheWindowAndUpdatesOnce) {
    ModelessRecorder dialog;
    HWND window = createModeless(dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(dialog.window, window);
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.updates, 1);
    DestroyWindow(window);
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_EQ(dialog.window, nullptr);
}

TEST(LDialog, CommandsRouteByIdAndEveryOtherIdUpdatesExactlyOnce) {
    struct Case {
        WORD id;
        int commands, helps, updates;
    } const cases[] = {
        {IDHELP, 0, 1, 0},
        {IDC_TEST_BUTTON, 1, 0, 1},
        {4711, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ModelessRecorder dialog;
        HWND window = createModeless(dialog);
        ASSERT_NE(window, nullptr);
        dialog.updates = 0;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(c.id, 7), 0);
        EXPECT_EQ(dialog.commands, c.commands);
        EXPECT_EQ(dialog.helps, c.helps);
        EXPECT_EQ(dialog.updates, c.updates);
        if (c.commands) {
            EXPECT_EQ(dialog.lastId, c.id);
            EXPECT_EQ(dialog.lastNotification, 7);
        }
        DestroyWindow(window);
    }
}

TEST(LDialog, HelpMessageCallsOnHelp) {
    ModelessRecorder dialog;
    HWND window = createModeless(dialog);
    HELPINFO info = {};
    info.cbSize = sizeof info;
    SendMessageA(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(dialog.helps, 1);
    DestroyWindow(window);
}

TEST(LModelessDialog, RefusedOkKeepsTheWindowAndCancelDestroysIt) {
    ModelessRecorder dialog;
    dialog.acceptOk = false;
    HWND window = createModeless(dialog);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.oks, 1);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(dialog.commands, 0) << "OK never reaches OnCommand";

    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog.cancels, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_EQ(dialog.window, nullptr);
}

TEST(LDialog, MessagesForAnotherWindowGetDefaultProcessing) {
    ModelessRecorder dialog;
    HWND first = createModeless(dialog);
    dialog.window = nullptr;  // as if the object had been bound elsewhere
    EXPECT_EQ(LDialogProc(first, WM_COMMAND, IDC_TEST_BUTTON, 0), FALSE);
    EXPECT_EQ(dialog.commands, 0);
    DestroyWindow(first);
}

// Posts itself OK from OnInitDialog, so the modal loop ends on its own.
class AutoClosingModal : public Recorder<LDialog> {
public:
    void OnInitDialog() override {
        Recorder<LDialog>::OnInitDialog();
        if (refuseFirstOk)
            acceptOk = false;
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    bool refuseFirstOk = false;
};

TEST(LDialog, ModalRunEndsWithOneOnOkAndTwoOnCancel) {
    AutoClosingModal accepting;
    EXPECT_EQ(accepting.RunModal(nullptr, MAKEINTRESOURCEA(IDD_TEST)), IDOK);
    EXPECT_EQ(accepting.window, nullptr);

    AutoClosingModal refusing;
    refusing.refuseFirstOk = true;
    EXPECT_EQ(refusing.RunModal(nullptr, MAKEINTRESOURCEA(IDD_TEST)), IDCANCEL);
    EXPECT_EQ(refusing.oks, 1);
}

TEST(LDialog, ModalRunOfABoundObjectIsRefused) {
    ModelessRecorder dialog;
    HWND window = createModeless(dialog);
    EXPECT_EQ(dialog.RunModal(nullptr, MAKEINTRESOURCEA(IDD_TEST)), 0);
    DestroyWindow(window);
}

// Consumes one private message before dispatch, then closes on a second one.
class LoopProbe : public LMainDialog {
public:
    void OnInitDialog() override {
        PostMessageA(window, WM_USER + 5, 0, 0);
        PostMessageA(window, WM_USER + 6, 0, 0);
    }
    bool PreTranslateMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message == WM_USER + 5) {
            ++consumed;
            parentEnabledInLoop = !parent || IsWindowEnabled(parent);
            return true;
        }
        if (message == WM_USER + 6)
            DestroyWindow(window);
        return false;
    }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_USER + 5)
            ++dispatched;
        return LMainDialog::HandleMessage(message, wParam, lParam);
    }
    int consumed = 0, dispatched = 0;
    HWND parent = nullptr;
    bool parentEnabledInLoop = false;
};

// With a parent, the parent is disabled while the loop runs, then enabled,
// activated and given the focus again.
TEST(LMainDialog, RunLoopsUntilTheWindowIsGoneAndConsumedMessagesAreNotDispatched) {
    for (bool withParent : {false, true}) {
        SCOPED_TRACE(withParent ? "with a parent" : "without a parent");
        test::OwnerWindow parent;
        HWND parentWindow = withParent ? parent.handle : nullptr;
        LoopProbe probe;
        probe.parent = parentWindow;
        EXPECT_TRUE(probe.Run(parentWindow, MAKEINTRESOURCEA(IDD_TEST)));
        EXPECT_EQ(probe.consumed, 1);
        EXPECT_EQ(probe.dispatched, 0);
        EXPECT_EQ(probe.window, nullptr);
        EXPECT_EQ(probe.parentEnabledInLoop, !withParent);
        EXPECT_TRUE(IsWindowEnabled(parent.handle));
        if (withParent) {
            EXPECT_EQ(GetActiveWindow(), parent.handle);
            EXPECT_EQ(GetFocus(), parent.handle);
        }
    }
}

TEST(LMainDialog, RunWithAMissingTemplateFails) {
    LoopProbe probe;
    EXPECT_FALSE(probe.Run(nullptr, MAKEINTRESOURCEA(999)));
}

}  // namespace
}  // namespace zelvaro
