// zelvaro-render play: plays a tone file through a waveOut device with the
// program's own player, until a tone of fixed duration ends, the given
// number of seconds has passed, or Ctrl+C; from the 16-bit chain as the
// program plays by default, or with --pure from the pure path at a chosen
// rate, format and level, as the program plays with pure synthesis.
#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "audio/l_sound_player.h"
#include "audio/output_devices.h"
#include "audio/pure_playback.h"
#include "base/db_value.h"
#include "cli/cli_command.h"
#include "signal/random_generator.h"
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

// "tpdf" or "tpdf:SEED" (0 to 2^64 - 1); the seed of Save As Wav by default.
bool parseDither(const std::string& text, uint64_t* seed) {
    if (text == "tpdf") {
        *seed = 1;
        return true;
    }
    if (text.compare(0, 5, "tpdf:") != 0 || text.size() == 5 || text.size() > 25)
        return false;
    const std::string digits = text.substr(5);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
    if (errno != 0)
        return false;
    *seed = value;
    return true;
}

struct PlayArgs {
    std::string tonePath;
    int8_t device = 0;
    bool setVolume = false;
    DbValue volume = 0;
    bool limited = false;
    double seconds = 0.0;
    bool pure = false;
    // Options of the pure path, given by name (for the refusal without --pure).
    std::string pureOption;
    bool bitsGiven = false, floatGiven = false;
    int bits = 16;
    std::optional<uint64_t> ditherSeed;
    PurePlayRequest request;
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
        if (arg == "--pure") {
            out->pure = true;
            continue;
        }
        if (arg == "--float") {
            out->floatGiven = true;
            out->pureOption = "--float";
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
        } else if (name == "rate") {
            long rate = 0;
            if (!parseInteger(value, 8000, 192000, &rate))
                return "--rate takes frames per second from 8000 to 192000";
            out->request.format.sampleRate = static_cast<int32_t>(rate);
            out->pureOption = "--rate";
        } else if (name == "bits") {
            if (value != "16" && value != "24")
                return "--bits takes 16 or 24 (--float for 32-bit float)";
            out->bits = value == "24" ? 24 : 16;
            out->bitsGiven = true;
            out->pureOption = "--bits";
        } else if (name == "dither") {
            uint64_t seed = 0;
            if (!parseDither(value, &seed))
                return "--dither takes tpdf or tpdf:SEED, not \"" + value + "\"";
            out->ditherSeed = seed;
            out->pureOption = "--dither";
        } else if (name == "level") {
            const std::optional<int32_t> level = parseLevelCentiDb(value);
            if (!level)
                return "--level takes the peak of one tone in dBFS from -140 to 0, in steps of 0.01 (for example "
                       "-12.04)";
            out->request.levelDbfs = *level / 100.0;
            out->pureOption = "--level";
        } else {
            return "unknown option --" + name;
        }
    }
    if (!out->pure && !out->pureOption.empty())
        return out->pureOption + " plays from the pure path: add --pure";
    if (out->floatGiven && out->bitsGiven)
        return "--bits and --float choose the same thing: give one";
    if (out->floatGiven && out->ditherSeed)
        return "--dither is for 16- and 24-bit samples, not --float";
    out->request.format.encoding = out->floatGiven  ? SampleEncoding::kFloat32
                                   : out->bits == 24 ? SampleEncoding::kPcm24
                                                     : SampleEncoding::kPcm16;
    // 16 bits are always dithered, as the program plays them; 24 when asked.
    out->request.ditherSeed = out->ditherSeed;
    if (out->request.format.encoding == SampleEncoding::kPcm16 && !out->ditherSeed)
        out->request.ditherSeed = 1;
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
    SoundSourceRef source;
    if (!play.pure) {
        source = createSignalSource(tone);
        if (!source.usable()) {
            printError("the tone in " + play.tonePath + " cannot be generated");
            return kExitFailed;
        }
    }

    // As the program's Play command does: the volume goes to the mixer of the
    // chosen device before the player starts. With --pure only when asked
    // for, since the level is then in the samples.
    if (play.setVolume)
        setPlayVolume(play.device, play.volume, 0);
    EndWatcher watcher;
    LSoundPlayer player;
    player.deviceId = play.device;
    player.listener = &watcher;
    bool opened;
    if (play.pure) {
        play.request.noiseSeed = clockSeed();
        const PurePlayOutcome outcome = playPure(player, tone, play.request);
        opened = outcome.opened;
        if (opened && outcome.played != play.request.format)
            std::fprintf(stderr, "zelvaro-render: the device refused %s; playing %s\n",
                         describePlayFormat(play.request.format).c_str(), describePlayFormat(outcome.played).c_str());
        if (opened)
            std::printf("playing %s%s, level %s dBFS\n", describePlayFormat(outcome.played).c_str(),
                        outcome.played.encoding != SampleEncoding::kFloat32 && play.request.ditherSeed
                            ? ", TPDF dither"
                            : "",
                        levelText(static_cast<int32_t>(std::lround(play.request.levelDbfs * 100))).c_str());
        std::fflush(stdout);
    } else {
        opened = player.open(source, 0);
    }
    if (!opened) {
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
