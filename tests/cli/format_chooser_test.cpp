// zelvaro-render convert --format choose, driven as a user would: the test
// starts the tool, finds the platform's format chooser among its windows,
// picks a format tag in its list and presses OK or Cancel, closes the warning
// about a format no codec writes, and reads back the exit code and the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

// The chooser's format tag list and format list.
constexpr int kFormatTagList = 101;
constexpr int kFormatList = 102;

struct Found {
    DWORD pid;
    const char* title;  // null: the chooser (any dialog)
    HWND window = nullptr;
};

BOOL CALLBACK findDialog(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {}, title[128] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (pid != f->pid || !IsWindowVisible(hwnd) || std::string(cls) != "#32770") return TRUE;
    if (f->title ? std::string(title) != f->title : GetDlgItem(hwnd, kFormatTagList) == nullptr) return TRUE;
    f->window = hwnd;
    return FALSE;
}

// Waits up to 20 s for a visible dialog of the process.
HWND waitForDialog(DWORD pid, const char* title) {
    for (int i = 0; i < 200; ++i) {
        Found f{pid, title};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&f));
        if (f.window) return f.window;
        Sleep(100);
    }
    return nullptr;
}

std::wstring itemText(HWND combo, int i) {
    // Asked in Unicode: across processes the ANSI text comes back garbled.
    LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    if (n < 0) return L"";
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

// Selects the format tag whose name starts with `name`, as a click in the list
// would, so that the chooser fills its format list for it.
bool pickTag(HWND chooser, const wchar_t* name) {
    HWND tags = GetDlgItem(chooser, kFormatTagList);
    LRESULT count = SendMessageW(tags, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        if (itemText(tags, i).rfind(name, 0) != 0) continue;
        SendMessageW(tags, CB_SETCURSEL, i, 0);
        SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(kFormatTagList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(tags));
        return SendMessageW(GetDlgItem(chooser, kFormatList), CB_GETCURSEL, 0, 0) >= 0;
    }
    return false;
}

void press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class FormatChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* exe = std::getenv("ZELVARO_RENDER_EXE");
        if (!exe) GTEST_SKIP() << "ZELVARO_RENDER_EXE is not set";
        render = exe;
        // Half a second of a 440 Hz sine, 16-bit stereo at 22,050 Hz.
        SoundSinkRef sink = createWavSink(in.c_str(), 22050, 0, 16, 2);
        std::vector<int32_t> block(2 * 11025);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<int32_t>(200000 * std::sin(i / 2 * 2 * 3.14159265 * 440 / 22050));
        sink->write(block.data(), 8192);
        sink->write(block.data() + 2 * 8192, 11025 - 8192);
        sink.release();
    }

    bool start() {
        std::string cmd = "\"" + render + "\" convert \"" + in + "\" \"" + out + "\" --format choose";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process))
            return false;
        CloseHandle(process.hThread);
        return true;
    }

    DWORD exitCode() {
        DWORD code = 0xDEAD;
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
        else TerminateProcess(process.hProcess, 0xDEAD);
        CloseHandle(process.hProcess);
        return code;
    }

    std::string render;
    test::TempDir dir;
    std::string in = dir.path("in.wav");
    std::string out = dir.path("out.wav");
    PROCESS_INFORMATION process = {};
};

TEST_F(FormatChooserTest, OkWritesTheChosenFormatAndCancelWritesNothing) {
    struct Row {
        const char* name;
        const wchar_t* tag;  // picked before OK; null: Cancel
        DWORD exit;
        int formatTag;  // of the file written; 0: no file
    };
    const Row rows[] = {
        {"IMA ADPCM", L"IMA", 0, 0x11},
        {"A-law", L"A-Law", 0, 0x6},
        {"PCM", L"PCM", 0, 1},
        {"Cancel", nullptr, 130, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteFileA(out.c_str());
        ASSERT_TRUE(start());
        HWND chooser = waitForDialog(process.dwProcessId, nullptr);
        ASSERT_NE(chooser, nullptr);
        if (row.tag) {
            ASSERT_TRUE(pickTag(chooser, row.tag));
            press(chooser, IDOK);
        } else {
            press(chooser, IDCANCEL);
        }
        EXPECT_EQ(exitCode(), row.exit);
        WaveFormat format;
        SoundSourceRef written = openWavSource(out.c_str(), &format);
        EXPECT_EQ(static_cast<bool>(written), row.formatTag != 0);
        if (!written) continue;
        EXPECT_EQ(format.formatTag, row.formatTag);
        EXPECT_TRUE(written.usable());
        EXPECT_GT(written->length(), 0);
    }
}

TEST_F(FormatChooserTest, AFormatNoCodecWritesIsRefusedWithAWarningAndAskedAgain) {
    ASSERT_TRUE(start());
    HWND chooser = waitForDialog(process.dwProcessId, nullptr);
    ASSERT_NE(chooser, nullptr);
    // This machine's codecs decode Microsoft ADPCM but do not encode it.
    ASSERT_TRUE(pickTag(chooser, L"Microsoft ADPCM"));
    press(chooser, IDOK);

    HWND warning = waitForDialog(process.dwProcessId, "Format Not Available");
    ASSERT_NE(warning, nullptr);
    wchar_t text[256] = {};
    GetDlgItemTextW(warning, 0xFFFF, text, 256);
    EXPECT_STREQ(text,
                 L"The requested format is not available because the required CODEC is not installed on this "
                 L"computer.");
    press(warning, IDOK);

    // The chooser again, on the format just refused; this time Cancel.
    chooser = waitForDialog(process.dwProcessId, nullptr);
    ASSERT_NE(chooser, nullptr);
    HWND tags = GetDlgItem(chooser, kFormatTagList);
    EXPECT_NE(itemText(tags, static_cast<int>(SendMessageW(tags, CB_GETCURSEL, 0, 0))).find(L"Microsoft ADPCM"),
              std::wstring::npos);
    press(chooser, IDCANCEL);
    EXPECT_EQ(exitCode(), 130u);
    EXPECT_FALSE(test::fileExists(out));
}

}  // namespace
}  // namespace zelvaro
