// zelvaro-render play: plays a tone file through a waveOut device with the
// program's own player, until a tone of fixed duration ends, the given
// number of seconds has passed, or Ctrl+C.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/l_sound_player.h"
#include "audio/output_devices.h"
#include "base/db_value.h"
#include "cli/cli_command.h"
#include "signal/signal_source.h"
#include "tone/tone_file.h"
#include "tone/tone_settings.h"

namespace zelvaro::cli {

namespace {

// The program's own message for a device that cannot be opened.
constexpr const char* kPlayErrorTitle = "Sound Play Error";
constexpr const char* kPlayErrorText =
    "Unable to start playback.\n"
    "\n"
    "This might be because the sound card is being used by some other applications or because "
    "you have not selected the correct Sound Play Device using Play Settings.";

HANDLE interrupted = nullptr;

BOOL WINAPI onConsoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        SetEvent(interrupted);
        return TRUE;
    }
    return FALSE;
}

class EndWatcher : public LSoundPlayerListener {
public:
    void onStopped(int32_t) override { stopped = true; }
    bool stopped = false;
};

// An optionally signed decimal integer within [low, high], nothing else.
bool parseInteger(const std::string& text, long low, long high, long* value) {
    if (text.empty())
        return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size() || text.size() > 12)
        return false;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return false;
    const long parsed = std::strtol(text.c_str(), nullptr, 10);
    if (parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

// "-20", "-20dB", "6dB", "--dB" (off): a whole number of decibels, -127 to 127.
bool parseVolume(std::string text, DbValue* volume) {
    if (text == "--dB" || text == "--db") {
        *volume = kDbOff;
        return true;
    }
    if (text.size() > 2 && (text.compare(text.size() - 2, 2, "dB") == 0 ||
                            text.compare(text.size() - 2, 2, "db") == 0))
        text.resize(text.size() - 2);
    long value = 0;
    if (!parseInteger(text, -127, 127, &value))
        return false;
    *volume = static_cast<DbValue>(value);
    return true;
}

// Seconds as a plain decimal number, more than 0 and at most a day.
bool parseSeconds(const std::string& text, double* seconds) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !(value > 0.0) || value > 86400.0)
        return false;
    *seconds = value;
    return true;
}

struct PlayArgs {
    std::string tonePath;
    int8_t device = 0;
    bool setVolume = false;
    DbValue volume = 0;
    bool limited = false;
    double seconds = 0.0;
};

// Returns an error message, empty when the arguments were accepted.
std::string parsePlayArgs(const std::vector<std::string>& args, PlayArgs* out) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return "--" + name + " needs a value";
        }
        if (name == "device") {
            long device = 0;
            if (!parseInteger(value, -1, 126, &device))
                return "--device takes a device index from 0 to 126, or -1 for the wave mapper";
            out->device = static_cast<int8_t>(device);
        } else if (name == "volume") {
            if (!parseVolume(value, &out->volume))
                return "--volume takes whole decibels from -127 to 127 (for example -20 or -20dB), or --dB";
            out->setVolume = true;
        } else if (name == "seconds") {
            if (!parseSeconds(value, &out->seconds))
                return "--seconds takes a number of seconds above 0 and at most 86400";
            out->limited = true;
        } else {
            return "unknown option --" + name;
        }
    }
    if (positional.size() != 1)
        return "play takes one tone file";
    out->tonePath = positional[0];
    return std::string();
}

}  // namespace

int runPlay(const std::vector<std::string>& args) {
    PlayArgs play;
    const std::string error = parsePlayArgs(args, &play);
    if (!error.empty()) {
        printError(error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    ToneSettings tone;
    setDefaults(tone);
    if (!loadToneFile(play.tonePath, tone)) {
        printError("cannot read the tone file " + play.tonePath + " (missing or unreadable)");
        return kExitFailed;
    }
    SoundSourceRef source = createSignalSource(tone);
    if (!source.usable()) {
        printError("the tone in " + play.tonePath + " cannot be generated");
        return kExitFailed;
    }

    // As the program's Play command does: the volume goes to the mixer of the
    // chosen device before the player starts.
    if (play.setVolume)
        setPlayVolume(play.device, play.volume, 0);
    EndWatcher watcher;
    LSoundPlayer player;
    player.deviceId = play.device;
    player.listener = &watcher;
    if (!player.open(source, 0)) {
        printError(kPlayErrorTitle);
        std::fprintf(stderr, "%s\n", kPlayErrorText);
        return kExitFailed;
    }
    source.release();

    interrupted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(&onConsoleControl, TRUE);
    const ULONGLONG limitMs = static_cast<ULONGLONG>(play.seconds * 1000.0);
    const ULONGLONG start = GetTickCount64();
    // The player reports through its window, so this thread pumps messages
    // while it waits.
    while (!watcher.stopped) {
        ULONGLONG wait = 100;
        if (play.limited) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= limitMs)
                break;
            wait = limitMs - elapsed < wait ? limitMs - elapsed : wait;
        }
        const DWORD result = MsgWaitForMultipleObjects(1, &interrupted, FALSE,
                                                       static_cast<DWORD>(wait), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    player.stop();
    SetConsoleCtrlHandler(&onConsoleControl, FALSE);
    CloseHandle(interrupted);
    interrupted = nullptr;
    return kExitOk;
}

}  // namespace zelvaro::cli
