// Hand-run benchmark, not a test: Save As Wav (behind its progress dialog,
// pumped once per block) against zelvaro-render render of the same tone file
// (a process of its own, its start included) and against the same render loop
// run in this process without a dialog, all in turns under the same
// conditions. Prints the wall time of each run, the medians, each as a
// multiple of real time, and the ratios.
//
//   save_as_wav_bench.exe [SECONDS] [RUNS]      (default 600 s of audio, 3 runs)
// The tone is 16 sine tones in stereo, the heaviest tone the program makes.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/render_to_sink.h"
#include "render/tone_length.h"
#include "app/save_as_wav.h"
#include "render/render_source.h"
#include "wavefile/wav_file.h"
#include "tone/tone_file.h"
#include "tone/tone_settings.h"

using namespace zelvaro;

namespace {

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string besideThisProgram(const char* relative) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return path + relative;
}

bool runTool(const std::string& command) {
    std::string line = command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

// The render loop as zelvaro-render runs it, without a window.
class NoDisplay final : public RenderProgress {
public:
    void setText(int, const std::string&) override {}
    void setProgress(double) override {}
    bool pump() override { return true; }
};

void renderWithoutDialog(const ToneSettings& tone, const std::string& path) {
    RenderJob job;
    job.source = createRenderSource(tone);
    job.sink = createWavSink(path.c_str(), 44100, 0, 16, job.source->channels);
    job.expectedFrames = toneFrames(tone.durationMs);
    NoDisplay display;
    RenderToSink(display, job);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<char> readAll(const std::string& path) {
    std::vector<char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int audioSeconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    InitCommonControls();

    ToneSettings tone;
    setDefaults(tone);
    tone.flags = kFlagFixedDuration | kFlagStereo;
    tone.durationMs = static_cast<uint32_t>(audioSeconds) * 1000;
    tone.toneCount = 16;
    for (int i = 0; i < 16; ++i) {
        tone.startLeft[i] = tone.endLeft[i] = 110.0 * (i + 1);
        tone.startRight[i] = tone.endRight[i] = 115.0 * (i + 1);
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = temp;
    const std::string tdf = folder + "zelvaro-bench.tdf";
    const std::string ours = folder + "zelvaro-bench-save.wav";
    const std::string theirs = folder + "zelvaro-bench-render.wav";
    const std::string plain = folder + "zelvaro-bench-plain.wav";
    if (!saveToneFile(tdf, tone)) {
        std::fprintf(stderr, "cannot write %s\n", tdf.c_str());
        return 1;
    }
    const std::string command = "\"" + besideThisProgram("..\\..\\src\\cli\\zelvaro-render.exe") + "\" render \"" +
                                tdf + "\" \"" + theirs + "\"";

    std::vector<double> save, render, loop;
    std::printf("%d s of 16-tone stereo audio, %d runs each, in turns\n", audioSeconds, runs);
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        SaveToneAsWav(nullptr, tone, ours.c_str());
        QueryPerformanceCounter(&t1);
        if (!runTool(command)) {
            std::fprintf(stderr, "zelvaro-render failed: %s\n", command.c_str());
            return 1;
        }
        QueryPerformanceCounter(&t2);
        renderWithoutDialog(tone, plain);
        QueryPerformanceCounter(&t3);
        save.push_back(seconds(t0, t1));
        render.push_back(seconds(t1, t2));
        loop.push_back(seconds(t2, t3));
        std::printf("run %d: Save As Wav %.3f s, zelvaro-render %.3f s, loop without dialog %.3f s\n", run + 1,
                    save.back(), render.back(), loop.back());
    }
    const bool same = readAll(ours) == readAll(theirs) && readAll(ours) == readAll(plain);
    const double s = median(save), r = median(render), l = median(loop);
    std::printf("median: Save As Wav %.3f s (%.0fx real time), zelvaro-render %.3f s (%.0fx), loop %.3f s (%.0fx)\n",
                s, audioSeconds / s, r, audioSeconds / r, l, audioSeconds / l);
    std::printf("Save As Wav / zelvaro-render: %.3f (aim: at most 1.10); Save As Wav / loop: %.3f; files %s\n",
                s / r, s / l, same ? "identical" : "DIFFER");
    // On a busy machine the fastest run of each is the one least disturbed.
    const double bs = *std::min_element(save.begin(), save.end());
    const double br = *std::min_element(render.begin(), render.end());
    const double bl = *std::min_element(loop.begin(), loop.end());
    std::printf("fastest: Save As Wav %.3f s, zelvaro-render %.3f s, loop %.3f s; ratios %.3f and %.3f\n", bs, br,
                bl, bs / br, bs / bl);
    DeleteFileA(plain.c_str());
    DeleteFileA(ours.c_str());
    DeleteFileA(theirs.c_str());
    DeleteFileA(tdf.c_str());
    return same ? 0 : 1;
}
