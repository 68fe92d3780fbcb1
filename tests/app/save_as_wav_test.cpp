// Save As Wav driven as a user drives it: the common dialog gets its file name
// typed and its button pressed, the progress dialog its Cancel, and every
// message box is found and closed. The files are compared byte for byte with
// what zelvaro-render writes for the same tone file.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/save_as_wav.h"
#include "measure/tone_analysis.h"
#include "signal/signal_source.h"
#include "tests/app/app_dialogs_test_support.h"
#include "tests/support/dialog_watch.h"
#include "tone/tone_file.h"
#include "tone/tone_settings.h"
#include "wavefile/pure_wav_reader.h"
#include "wavefile/sound_sink.h"

namespace zelvaro {
namespace {

using test::DialogWatch;
using test::fileExists;
using test::readAll;
using test::ScratchFolder;

ToneSettings makeTone(uint16_t flags, uint32_t durationMs, double left, double right = 0, double endLeft = 0,
                      double endRight = 0) {
    ToneSettings tone;
    setDefaults(tone);
    tone.flags = flags;
    tone.durationMs = durationMs;
    tone.startLeft[0] = left;
    tone.startRight[0] = right ? right : left;
    tone.endLeft[0] = endLeft ? endLeft : left;
    tone.endRight[0] = endRight ? endRight : tone.startRight[0];
    return tone;
}

// The 46-byte header's fields that tell what the file holds.
struct WavFacts {
    bool riff = false;
    int channels = 0, rate = 0, bits = 0;
    uint32_t dataBytes = 0;
    size_t fileBytes = 0;
    uint32_t frames() const { return channels && bits ? dataBytes / (channels * bits / 8) : 0; }
};

WavFacts readWav(const std::string& path) {
    const std::vector<uint8_t> bytes = readAll(path);
    WavFacts f;
    f.fileBytes = bytes.size();
    if (bytes.size() < 46) return f;
    auto u16 = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | u16(at + 2) << 16); };
    f.riff = std::memcmp(bytes.data(), "RIFF", 4) == 0 && std::memcmp(bytes.data() + 8, "WAVE", 4) == 0 &&
             std::memcmp(bytes.data() + 38, "data", 4) == 0 && u32(4) == bytes.size() - 8;
    f.channels = u16(22);
    f.rate = static_cast<int>(u32(24));
    f.bits = u16(34);
    f.dataBytes = u32(42);
    return f;
}

std::string renderToolPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return path + "..\\..\\src\\cli\\zelvaro-render.exe";
}

// Runs zelvaro-render render TONE OUT [OPTIONS]; its exit code.
DWORD renderWithTool(const std::string& tonePath, const std::string& outPath, const std::string& options = "") {
    std::string command = "\"" + renderToolPath() + "\" render \"" + tonePath + "\" \"" + outPath + "\" " + options;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 999;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 998;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The highest position the progress bars of this thread were set to.
std::atomic<int> g_highestProgress{-1};
LRESULT CALLBACK progressHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char name[32] = {};
    if (code == HC_ACTION && call->message == PBM_SETPOS && GetClassNameA(call->hwnd, name, sizeof name) &&
        lstrcmpiA(name, PROGRESS_CLASSA) == 0)
        g_highestProgress = std::max<int>(g_highestProgress, static_cast<int>(call->wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ProgressRecorder {
public:
    ProgressRecorder() {
        g_highestProgress = -1;
        hook = SetWindowsHookExA(WH_CALLWNDPROC, progressHook, nullptr, GetCurrentThreadId());
    }
    ~ProgressRecorder() { UnhookWindowsHookEx(hook); }
    int highest() const { return g_highestProgress; }

private:
    HHOOK hook;
};

// Cancel pressed as the progress dialog appears, before the job's first block.
LRESULT CALLBACK cancelAtOnceHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char caption[64] = {};
        GetWindowTextA(window, caption, sizeof caption);
        if (std::strcmp(caption, "Saving Wave File") == 0) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Types `name` into the save dialog's file name box and presses its button;
// records the folder the dialog opened in.
std::function<void(HWND)> typeFileName(std::string name, std::string* openedIn) {
    return [name, openedIn](HWND dialog) {
        char folder[MAX_PATH] = {};
        SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        if (openedIn) *openedIn = folder;
        HWND box = GetDlgItem(dialog, cmb13);
        if (!box) box = GetDlgItem(dialog, edt1);
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    };
}

std::string withoutTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

// Where the interop check (sox, Python's wave) wants the cancelled files, as
// a Unix folder; empty when it is not running.
void keepForInterop(const std::string& path, const char* name) {
    char folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("ZELVARO_WAV_OUT", folder, MAX_PATH)) return;
    std::string target = std::string("Z:") + folder + "/" + name;
    for (char& c : target)
        if (c == '/') c = '\\';
    CopyFileA(path.c_str(), target.c_str(), FALSE);
}

TEST(SaveAsWav, ToneWithoutDurationGetsTheMessageAndNoDialog) {
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    const std::string noDuration =
        "Tones can only be saved as wav files if they are a fixed duration tone.\r\n\r\n"
        "Select the Constant (Specified Duration) or Sweep items from the Tones menu.";
    const std::string zeroDuration =
        "The duration of this tone is 0 ms.\r\n\r\n"
        "Set its Duration value in the list (double click it to change it) before saving the tone as a wav file.";
    struct Kind {
        uint16_t flags;
        uint32_t durationMs;
        const std::string& text;
    } const kinds[] = {
        {0, 1000, noDuration},
        {kFlagStereo, 1000, noDuration},
        // The kind is already right: the message asks for the duration.
        {kFlagFixedDuration, 0, zeroDuration},
        {kFlagFixedDuration | kFlagSweep, 0, zeroDuration},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(testing::Message() << kind.flags << ", " << kind.durationMs << " ms");
        DialogWatch saveDialog("#32770", "Save As Wav File", IDCANCEL);
        DialogWatch message("#32770", "No Duration Specified", IDOK);
        SaveAsWav(owner.handle, makeTone(kind.flags, kind.durationMs, 1000));
        const test::SeenDialog& seen = message.wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.owner, owner.handle);
        EXPECT_EQ(seen.text, kind.text);
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_WARNING));
        EXPECT_FALSE(saveDialog.wait().found);
        EXPECT_EQ(test::iniValue("filedir"), "<missing>");
    }
}

TEST(SaveAsWav, CancelledSaveDialogWritesNothing) {
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    DialogWatch saveDialog("#32770", "Save As Wav File", IDCANCEL);
    SaveAsWav(owner.handle, makeTone(kFlagFixedDuration, 1000, 1000));
    EXPECT_TRUE(saveDialog.wait().found);
    EXPECT_EQ(test::iniValue("filedir"), "<missing>");
}

// The file is the one the command-line renderer writes for the same tone
// file, the folder is remembered, and the bar stops short of 91 %. The
// double-precision choice is off however the settings file says so.
TEST(SaveAsWav, SavedFileIsByteForByteWhatZelvaroRenderWrites) {
    struct Case {
        const char* name;
        ToneSettings tone;
        int channels;
        uint32_t frames;
        const char* pure;  // "puresynthesis", null for none
    } const cases[] = {
        {"mono", makeTone(kFlagFixedDuration, 1000, 1000), 1, 44100, nullptr},
        {"stereo sweep", makeTone(kFlagFixedDuration | kFlagSweep | kFlagStereo, 1500, 200, 300, 2000, 3000), 2,
         66150, "0"},
        // 4,644 ms are 204,800 frames: 25 whole blocks.
        {"whole blocks", makeTone(kFlagFixedDuration, 4644, 440), 1, 204800, "false"},
    };
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    // The first save starts without "filedir"; the full path typed there
    // sets it, and the next saves open in that folder.
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string wav = folder.file(std::string(c.name) + ".wav");
        const std::string tdf = folder.file(std::string(c.name) + ".tdf");
        const std::string reference = folder.file(std::string(c.name) + "-reference.wav");
        ASSERT_TRUE(saveToneFile(tdf, c.tone));
        WritePrivateProfileStringA("settings", "puresynthesis", c.pure, settingsPath);

        std::string openedIn;
        ProgressRecorder progress;
        DialogWatch saveDialog("#32770", "Save As Wav File", 0, typeFileName(wav, &openedIn));
        DialogWatch error("#32770", "Error", IDOK);
        SaveAsWav(owner.handle, c.tone);
        ASSERT_TRUE(saveDialog.wait().found);
        EXPECT_FALSE(error.wait().found) << error.wait().text;
        if (!first) {
            EXPECT_STRCASEEQ(openedIn.c_str(), withoutTrailingBackslash(folder.path).c_str());
        }
        first = false;
        EXPECT_STRCASEEQ(test::iniValue("filedir").c_str(), folder.path.c_str());
        EXPECT_GT(progress.highest(), 50);
        EXPECT_LE(progress.highest(), 91);
        EXPECT_TRUE(IsWindowEnabled(owner.handle));

        const WavFacts facts = readWav(wav);
        EXPECT_TRUE(facts.riff);
        EXPECT_EQ(facts.channels, c.channels);
        EXPECT_EQ(facts.rate, 44100);
        EXPECT_EQ(facts.bits, 16);
        EXPECT_EQ(facts.frames(), c.frames);
        EXPECT_EQ(facts.fileBytes, 46 + facts.dataBytes);

        ASSERT_EQ(renderWithTool(tdf, reference), 0u);
        EXPECT_TRUE(readAll(wav) == readAll(reference)) << "differs from zelvaro-render's file";
    }
}

// The samples of one channel of a 16-bit file as steps, and a sine of
// `hz` fitted to them by least squares.
struct SineFit {
    long double amplitude = 0;  // steps
    long double residualRms = 0, residualPeak = 0;
};

std::vector<double> channelSamples(const std::vector<uint8_t>& file, int channels, int channel) {
    std::vector<double> x;
    for (size_t at = 46 + 2 * static_cast<size_t>(channel); at + 1 < file.size(); at += 2 * channels)
        x.push_back(static_cast<int16_t>(file[at] | file[at + 1] << 8));
    return x;
}

// Over whole cycles of `hz` (a whole number of seconds of a whole number of
// hertz) the sine, the cosine and DC are orthogonal: the fit is their
// three projections.
SineFit fitSine(const std::vector<double>& x, int hz) {
    const size_t n = x.size();
    auto angle = [&](size_t i) { return 2 * 3.14159265358979323846L * ((static_cast<uint64_t>(hz) * i) % 44100) / 44100; };
    long double s = 0, c = 0, dc = 0;
    for (size_t i = 0; i < n; ++i) {
        s += x[i] * std::sin(angle(i));
        c += x[i] * std::cos(angle(i));
        dc += x[i];
    }
    s *= 2.0L / n;
    c *= 2.0L / n;
    dc /= n;
    SineFit fit;
    fit.amplitude = std::hypot(s, c);
    long double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const long double r = x[i] - (s * std::sin(angle(i)) + c * std::cos(angle(i)) + dc);
        sum += r * r;
        fit.residualPeak = std::max(fit.residualPeak, std::fabs(r));
    }
    fit.residualRms = std::sqrt(sum / n);
    return fit;
}

// With the Play Settings choice on, the file has the default path's header
// and length and holds what zelvaro-render --pure --dither tpdf writes: a
// clean sine plus one step of triangular dither. Rounding adds a uniform
// error of 1/12 step squared and the dither 1/6, so whatever differs from
// the fitted sine is 0.5 step RMS and under 1.5 steps; the chain leaves
// 0.43 step, undithered rounding 0.29. The spurs the chain's wavetable
// makes (90 dB below the tone) are gone.
TEST(SaveAsWav, DoublePrecisionChoiceWritesTheSameFormatWithADitheredSine) {
    struct Case {
        const char* name;
        ToneSettings tone;
        int left, right;  // Hz of each channel's sine; 0 for noise
    } const cases[] = {
        {"997 Hz", makeTone(kFlagFixedDuration, 1000, 997), 997, 0},
        {"stereo", makeTone(kFlagFixedDuration | kFlagStereo, 2000, 997, 1499), 997, 1499},
        {"pink noise", makeTone(kFlagFixedDuration, 500, 0), 0, 0},
    };
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.left) setWaveform(c.tone, kWavePinkNoise);
        const std::string tdf = folder.file("tone.tdf");
        const std::string pure = folder.file("pure.wav");
        const std::string chain = folder.file("chain.wav");
        const std::string reference = folder.file("reference.wav");
        ASSERT_TRUE(saveToneFile(tdf, c.tone));
        DialogWatch error("#32770", "Error", IDOK);
        WritePrivateProfileStringA("settings", "puresynthesis", "true", settingsPath);
        SaveToneAsWav(owner.handle, c.tone, pure.c_str());
        WritePrivateProfileStringA("settings", "puresynthesis", "false", settingsPath);
        SaveToneAsWav(owner.handle, c.tone, chain.c_str());
        EXPECT_FALSE(error.wait().found) << error.wait().text;

        const std::vector<uint8_t> pureBytes = readAll(pure), chainBytes = readAll(chain);
        ASSERT_GE(chainBytes.size(), 46u);
        ASSERT_EQ(pureBytes.size(), chainBytes.size());
        EXPECT_TRUE(std::equal(chainBytes.begin(), chainBytes.begin() + 46, pureBytes.begin())) << "the header";
        EXPECT_FALSE(pureBytes == chainBytes);
        if (!c.left) continue;
        ASSERT_EQ(renderWithTool(tdf, reference, "--pure --dither tpdf"), 0u);
        EXPECT_TRUE(pureBytes == readAll(reference)) << "differs from zelvaro-render --pure --dither tpdf";

        const int channels = c.right ? 2 : 1;
        for (int channel = 0; channel < channels; ++channel) {
            SCOPED_TRACE(channel);
            const int hz = channel ? c.right : c.left;
            const std::vector<double> x = channelSamples(pureBytes, channels, channel);
            const SineFit fit = fitSine(x, hz);
            EXPECT_NEAR(static_cast<double>(fit.amplitude), 8191.9, 0.5) << "the chain's level, -12.04 dBFS";
            EXPECT_NEAR(static_cast<double>(fit.residualRms), 0.5, 0.03);
            EXPECT_LT(static_cast<double>(fit.residualPeak), 1.5);

            std::vector<double> full(x.size()), chained = channelSamples(chainBytes, channels, channel);
            for (size_t i = 0; i < x.size(); ++i) full[i] = x[i] / 32768, chained[i] /= 32768;
            const double pureSfdr = measure::analyzeTone(full, 44100, hz).sfdrDb;
            const double chainSfdr = measure::analyzeTone(chained, 44100, hz).sfdrDb;
            EXPECT_GT(pureSfdr, 100.0);
            EXPECT_GT(pureSfdr, chainSfdr + 10) << "the chain's own spurs";
        }
    }
}

// With pure synthesis the file has what playback has: the rate, the sample
// format and the level chosen in Play Settings.
TEST(SaveAsWav, PureSynthesisWritesThePlaybackRateFormatAndLevel) {
    struct Case {
        const char* rate;
        const char* format;
        const char* level;
        uint16_t formatTag;  // PCM 1, IEEE float 3 (plain or as the extensible subformat)
        int bits;
        double thdnBelowDb;  // the format's own floor with some room
    } const cases[] = {
        {"96000", "24", "-1.00", 1, 24, -135},
        {"48000", "float", "-6.02", 3, 32, -140},
        {"192000", "16", "-20.55", 1, 16, -75},
        {"44100", "24", "-12.04", 1, 24, -125},  // the default level: the chain's own
    };
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    const ToneSettings tone = makeTone(kFlagFixedDuration, 1000, 997);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rate) + " " + c.format + " " + c.level);
        const std::string path = folder.file("played.wav");
        WritePrivateProfileStringA("settings", "puresynthesis", "true", settingsPath);
        WritePrivateProfileStringA("settings", "samplerate", c.rate, settingsPath);
        WritePrivateProfileStringA("settings", "sampleformat", c.format, settingsPath);
        WritePrivateProfileStringA("settings", "level", c.level, settingsPath);
        DialogWatch error("#32770", "Error", IDOK);
        SaveToneAsWav(owner.handle, tone, path.c_str());
        EXPECT_FALSE(error.wait().found) << error.wait().text;

        PureWavReader reader(path.c_str());
        ASSERT_TRUE(reader.ok()) << reader.error();
        EXPECT_EQ(reader.sampleRate(), std::atoi(c.rate));
        EXPECT_EQ(reader.format().bitsPerSample, c.bits);
        EXPECT_EQ(reader.frames(), std::atoi(c.rate)) << "one second at the chosen rate";
        const std::vector<std::vector<double>> channels = reader.readAll();
        ASSERT_EQ(channels.size(), 1u);
        const measure::ToneAnalysis analysis = measure::analyzeTone(channels[0], reader.sampleRate(), 997);
        EXPECT_NEAR(analysis.levelDbfs(), std::atof(c.level), 0.005) << "the level is the sine's peak in dBFS";
        EXPECT_LT(analysis.thdnDb, c.thdnBelowDb);
        EXPECT_EQ(reader.format().formatTag, c.formatTag);
    }
    for (const char* key : {"puresynthesis", "samplerate", "sampleformat", "level"})
        WritePrivateProfileStringA("settings", key, nullptr, settingsPath);
}

// Five minutes of stereo: long enough to cancel in the middle.
ToneSettings longTone() { return makeTone(kFlagFixedDuration | kFlagStereo, 300000, 1000, 1500); }
constexpr uint32_t kLongToneFrames = 300 * 44100;

// "puresynthesis": the cancels and refusals behave alike on both paths.
const char* const kPathChoices[] = {"false", "true"};

TEST(SaveAsWav, CancelAtOnceLeavesAValidFileWithoutFrames) {
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    for (const char* pure : kPathChoices) {
        SCOPED_TRACE(pure);
        WritePrivateProfileStringA("settings", "puresynthesis", pure, settingsPath);
        const std::string wav = folder.file("at-once.wav");
        HHOOK hook = SetWindowsHookExA(WH_CBT, cancelAtOnceHook, nullptr, GetCurrentThreadId());
        DialogWatch error("#32770", "Error", IDOK);
        SaveToneAsWav(owner.handle, longTone(), wav.c_str());
        UnhookWindowsHookEx(hook);
        EXPECT_FALSE(error.wait().found) << "Cancel is not an error";
        const WavFacts facts = readWav(wav);
        EXPECT_TRUE(facts.riff);
        EXPECT_EQ(facts.channels, 2);
        EXPECT_EQ(facts.frames(), 0u);
        EXPECT_EQ(facts.fileBytes, 46u);
        EXPECT_TRUE(IsWindowEnabled(owner.handle));
        if (std::strcmp(pure, "false") == 0) keepForInterop(wav, "cancel-at-once.wav");
    }
}

TEST(SaveAsWav, CancelInTheMiddleKeepsTheWholeBlocksWrittenSoFar) {
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    for (const char* pure : kPathChoices) {
        SCOPED_TRACE(pure);
        WritePrivateProfileStringA("settings", "puresynthesis", pure, settingsPath);
        const std::string wav = folder.file("middle.wav");
        ProgressRecorder progress;
        // Cancel once the bar has moved, as a user who changed their mind.
        std::atomic<bool> done{false};
        std::thread user([&] {
            while (!done) {
                HWND dialog = test::findOwnWindow("#32770", "Saving Wave File");
                if (dialog && SendDlgItemMessageA(dialog, 102, PBM_GETPOS, 0, 0) >= 10) {
                    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                    return;
                }
                Sleep(5);
            }
        });
        DialogWatch error("#32770", "Error", IDOK);
        SaveToneAsWav(owner.handle, longTone(), wav.c_str());
        done = true;
        user.join();
        EXPECT_FALSE(error.wait().found) << "Cancel is not an error";
        EXPECT_LT(progress.highest(), 91);
        const WavFacts facts = readWav(wav);
        EXPECT_TRUE(facts.riff);
        EXPECT_EQ(facts.channels, 2);
        EXPECT_GT(facts.frames(), 0u);
        EXPECT_LT(facts.frames(), kLongToneFrames);
        EXPECT_EQ(facts.frames() % 8192, 0u) << "whole blocks only";
        EXPECT_EQ(facts.fileBytes, 46 + facts.dataBytes);
        if (std::strcmp(pure, "false") == 0) keepForInterop(wav, "cancel-middle.wav");
    }
}

// A render that cannot be done whole is explained in a message over the
// progress dialog and leaves no file behind.
TEST(SaveAsWav, RefusedRenderIsExplainedAndLeavesNoFile) {
    struct Case {
        const char* name;
        ToneSettings tone;
        const char* fileName;
        const char* reason;
    } const cases[] = {
        // 30,000,000 ms of stereo: 1,323,000,000 frames, past 4 GiB of data.
        {"past 4 GiB", makeTone(kFlagFixedDuration | kFlagStereo, 30000000, 1000), "big.wav", "too long"},
        // 49,000,000 ms: more frames than the generator can count.
        {"past the generator", makeTone(kFlagFixedDuration, 49000000, 1000), "long.wav", "too long"},
        {"uncreatable", makeTone(kFlagFixedDuration, 1000, 1000), "no such folder\\x.wav", "cannot be created"},
    };
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    for (const char* pure : kPathChoices) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name + std::string(", puresynthesis=") + pure);
            WritePrivateProfileStringA("settings", "puresynthesis", pure, settingsPath);
            const std::string wav = folder.file(c.fileName);
            DialogWatch error("#32770", "Error", IDOK);
            SaveToneAsWav(owner.handle, c.tone, wav.c_str());
            const test::SeenDialog& seen = error.wait();
            ASSERT_TRUE(seen.found);
            EXPECT_EQ(seen.ownerCaption, "Saving Wave File") << "owned by the progress dialog";
            EXPECT_NE(seen.text.find(c.reason), std::string::npos) << seen.text;
            EXPECT_NE(seen.text.find(wav), std::string::npos) << seen.text;
            EXPECT_FALSE(fileExists(wav));
            EXPECT_TRUE(IsWindowEnabled(owner.handle));
        }
    }
}

// The render goes to a temporary file beside the chosen one: a render that
// fails leaves a file that was there as it was, a good one replaces it, and
// neither leaves a temporary file behind.
TEST(SaveAsWav, AnExistingFileSurvivesAFailedSaveAndAGoodOneReplacesIt) {
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    const std::string wav = folder.file("old.wav");
    const std::string old = "the user's old recording";
    {
        std::ofstream f(wav, std::ios::binary);
        f << old;
    }
    auto temporaries = [&] {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(folder.file("*.tmp").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return 0;
        int n = 1;
        while (FindNextFileA(h, &found)) ++n;
        FindClose(h);
        return n;
    };
    {
        DialogWatch error("#32770", "Error", IDOK);
        // 49,000,000 ms: more frames than the generator can count.
        SaveToneAsWav(owner.handle, makeTone(kFlagFixedDuration, 49000000, 1000), wav.c_str());
        const test::SeenDialog& seen = error.wait();
        ASSERT_TRUE(seen.found);
        EXPECT_NE(seen.text.find("unchanged"), std::string::npos) << seen.text;
    }
    EXPECT_EQ(readAll(wav), std::vector<uint8_t>(old.begin(), old.end()));
    EXPECT_EQ(temporaries(), 0);

    SaveToneAsWav(owner.handle, makeTone(kFlagFixedDuration, 1000, 1000), wav.c_str());
    const WavFacts facts = readWav(wav);
    EXPECT_TRUE(facts.riff);
    EXPECT_EQ(facts.frames(), 44100u);
    EXPECT_EQ(temporaries(), 0);
}

// A sink standing for a disk that fills: the writes after the first block
// fail, or the final header cannot be written. It can also press the
// progress dialog's Cancel as its first block arrives.
class FailingSink final : public SoundSink {
public:
    FailingSink(bool failWrites, bool cancel) : SoundSink(44100, 524272, 1), failWrites(failWrites), cancel(cancel) {}
    void write(const int32_t*, int frames) override {
        framesWritten += frames;
        if (cancel && ++writes == 1) PostMessageA(test::findOwnWindow("#32770", "Saving Wave File"), WM_COMMAND, IDCANCEL, 0);
        if (failWrites && ++writes >= 2) status |= kStatusWriteError;
    }
    bool finish() override {
        if (!failWrites) status |= kStatusWriteError;
        return !writeError();
    }
    int64_t framesLeft() const override { return 1 << 30; }
    bool failWrites, cancel;
    int writes = 0;
};

TEST(SaveWavProgress, WriteErrorIsExplainedAndTheShortFileRemoved) {
    struct Case {
        const char* name;
        bool failWrites, cancel;
    } const cases[] = {
        {"a block", true, false},
        {"the final header", false, false},
        // The dialog is gone: the box is owned by the main window.
        {"the final header after Cancel", false, true},
    };
    ScratchFolder folder("zelvaro-savewav");
    test::OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The file the writer would have made.
        const std::string wav = folder.file("full-disk.wav");
        CloseHandle(CreateFileA(wav.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(fileExists(wav));
        RenderJob job;
        // Five minutes: a Cancel is seen long before the end.
        job.source = createSignalSource(makeTone(kFlagFixedDuration, 300000, 1000));
        job.sink = new FailingSink(c.failWrites, c.cancel);
        SaveWavProgress progress(&job, wav.c_str());
        DialogWatch error("#32770", "Error", IDOK);
        EXPECT_EQ(progress.Run(owner.handle), 0);
        const test::SeenDialog& seen = error.wait();
        ASSERT_TRUE(seen.found);
        if (c.cancel)
            EXPECT_EQ(seen.owner, owner.handle);
        else
            EXPECT_EQ(seen.ownerCaption, "Saving Wave File");
        EXPECT_NE(seen.text.find("disk full"), std::string::npos) << seen.text;
        EXPECT_NE(seen.text.find("removed"), std::string::npos) << seen.text;
        EXPECT_FALSE(fileExists(wav));
        EXPECT_TRUE(IsWindowEnabled(owner.handle));
    }
}

}  // namespace
}  // namespace zelvaro
