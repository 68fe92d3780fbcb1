// zelvaro-render: renders tone files to WAV files, converts WAV files and
// describes them, with the same generators, adapters and writer as the
// program's Save As Wav.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "base/product_version.h"
#include "cli/cli_command.h"
#include "cli/terminal.h"
#ifdef _WIN32
#include "startup/library_search.h"
#endif

namespace zelvaro::cli {

#ifdef _WIN32
int runPlay(const std::vector<std::string>& args);
int runMeasure(const std::vector<std::string>& args);
#endif

namespace {

// One row per subcommand; a platform-only command adds its row here under
// its platform's condition.
const Command kCommands[] = {
    {"render",
     "TONE.tdf OUT.wav [--rate HZ] [--channels 1|2] [--bits 8|16|24|32] [--float] [--format F] [--seed N]\n"
     "                        [--pure] [--dither tpdf[:SEED]] [--peak DBFS]",
     "render a tone file of fixed duration to a WAV file (defaults: the tone's rate and channels, 16-bit PCM)",
     runRender},
    {"convert",
     "IN.wav OUT.wav [--rate HZ] [--channels 1|2] [--bits 8|16|24|32] [--float] [--format F]\n"
     "                        [--pure] [--dither tpdf[:SEED]] [--peak DBFS]",
     "convert a WAV file (defaults: the input's rate and channels, 16-bit PCM)", runConvert},
    {"info", "IN.wav [--levels]", "show the format and length of a WAV file (and its levels)", runInfo},
    {"analyze", "FILE.wav [--freq HZ]",
     "measure a test tone per channel: frequency, level, THD+N, SFDR and the largest non-harmonic", runAnalyze},
    {"sweep", "OUT.wav --from HZ --to HZ --seconds S [--rate HZ] [--peak DBFS] [--fade MS] [--inverse INV.wav]",
     "write an exponential sine sweep for impulse-response measurement, and its inverse filter", runSweep},
    {"deconvolve", "RECORDED.wav --sweep SWEEP.wav OUT-IR.wav [--harmonics N]",
     "turn a recording of a sweep into an impulse response, its harmonics, a response table and plot",
     runDeconvolve},
#ifdef _WIN32
    {"play",
     "TONE.tdf [--device N] [--volume DB] [--seconds S]\n"
     "                        [--pure [--rate HZ] [--bits 16|24] [--float] [--dither tpdf[:SEED]] [--level DBFS]]",
     "play a tone file until a tone of fixed duration ends, S seconds pass or Ctrl+C", runPlay},
    {"measure", "OUT-IR.wav --from HZ --to HZ --seconds S [--rate HZ] [--peak DBFS] [--fade MS] [--device N] "
     "[--input N] [--harmonics N] [--bits 16|24 | --float]",
     "play a sweep while recording (16-bit dithered, or 24-bit or float), and deconvolve the recording into the "
     "loop's impulse response",
     runMeasure},
#endif
};

void printHelp(std::FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  zelvaro-render %s %s\n", c.name, c.usage);
    std::fprintf(out, "  zelvaro-render --help\n  zelvaro-render --version\n\n");
    for (const Command& c : kCommands) std::fprintf(out, "%-10s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n--rate is 1 to 192000 frames per second; --seed (0 to 4294967295) fixes the noise of a noise "
                 "tone.\n"
                 "--format is pcm, or ima-adpcm, alaw, mulaw or gsm for a compressed file with the details its\n"
                 "codec suggests for the rate and channels (a lower standard rate or one channel when the codec\n"
                 "offers nothing else and --rate or --channels was not given), or choose for the system's format\n"
                 "chooser. Compressed files are read and written through the installed codecs (Windows only).\n"
                 "\n--bits 24 writes 24-bit PCM; --float writes 32-bit IEEE float (format tag 3, 1.0 is full scale).\n"
                 "The program's fixed-point chain holds 20 bits, so both are made on the double-precision path of\n"
                 "--pure, and the closing line says \"double precision\". --dither tpdf adds triangular dither of\n"
                 "+-1 step to 16- and 24-bit output (seed 1 unless tpdf:SEED is given); without it nothing is added.\n"
                 "--peak DBFS (-200 to 0) renders twice on the double-precision path: first to find the largest\n"
                 "sample, then scaled by one gain so that it sits at that level, nothing limited or clipped before\n"
                 "(a float file above full scale included). --pure renders in double precision from the oscillators\n"
                 "or the input file to the output: sines from a 64-bit phase without a table, square, triangle and\n"
                 "saw tooth band-limited (their harmonics below Nyquist), noise seeded by --seed, a rate converter\n"
                 "flat within 0.01 dB up to 90.75 %% of the lower rate's Nyquist frequency (20 kHz at 44.1 kHz) and\n"
                 "140 dB down from that Nyquist frequency on (some 225 input frames per output sample from 48 to\n"
                 "44.1 kHz), and a limiter that holds the output's range (convert's float output is not limited: it\n"
                 "holds any level). convert with the rate and channels kept and an output as wide as the input (16\n"
                 "to 24 bits, 24 bits or 16 to float, float to float, 16 to 16 with --pure) keeps every sample.\n"
                 "Without these options the output is the program's own, byte for byte; --bits 32 then keeps the\n"
                 "chain's 20 bits (--pure --bits 32 keeps all that the input has).\n"
                 "\ninfo --levels adds each channel's sample peak, RMS and DC over the whole file, of any length;\n"
                 "RMS is against a full-scale amplitude, so a full-scale sine is -3.01 dBFS RMS and 0 dBFS peak.\n"
                 "info counts frames in 64 bits and warns of samples that are not numbers (NaN, infinity).\n"
                 "analyze fits a sine to each channel (four parameters, least squares): its frequency (with the\n"
                 "error in ppm from --freq), its amplitude, THD+N (all that is not the sine or DC, 20 Hz to 20 kHz\n"
                 "or Nyquist if lower, as printed), the SFDR with its largest spur (spurs within the window's main\n"
                 "lobe, 4 bins, of the tone or of 0 Hz cannot be told apart and are named as left out), and the\n"
                 "largest component that is no harmonic (aliases). It reads PCM and float files, at most their\n"
                 "first minute (it says so). A channel gives no figures, and analyze exits 2, when there is no\n"
                 "tone to fit: \"no tone found\" for silence, DC or noise with no component standing 3 dB above the\n"
                 "rest and carrying more power than all the rest; \"too few cycles\" or \"too near the Nyquist\n"
                 "frequency\" for a tone within 10 bins (cycles over the file) of 0 Hz or of Nyquist, where it cannot\n"
                 "be told from its mirror image; a fitted tone more than 5 %% from --freq, which must lie between\n"
                 "0 Hz and Nyquist. A file of fewer than 64 frames or with samples that are not numbers exits 1.\n"
                 "\nOUT.wav may be - for standard output; messages and progress go to standard error. A file is\n"
                 "written under a temporary name in its folder and takes its name only when complete, so a\n"
                 "failure never replaces a file that was there. No command writes over one of its own inputs or\n"
                 "gives two of its outputs one name (another spelling, a link, or on Windows another case of the\n"
                 "same name counts): it refuses before writing anything, naming both. A command that writes\n"
                 "several files (sweep --inverse, deconvolve, measure) writes them all under temporary names and\n"
                 "gives them their names together: on a refusal or a failure every file that was there is left\n"
                 "as it was. - (standard output) may only be the one WAV file of a run that writes one file\n"
                 "(sweep without --inverse, render, convert); elsewhere it is refused. Ctrl+C stops a render;\n"
                 "what was written so far is kept as a valid file unless that would replace a file that was there.\n"
                 "Written to a pipe, the header states the exact length, which is known before the first frame; a\n"
                 "stream of unknown length would get RIFF and data sizes of 0xFFFFFFFF, as is usual for streams.\n"
                 "\nsweep writes a synchronised exponential sweep (default peak -1 dBFS, rate 44100 Hz, no fades;\n"
                 "--fade MS fades both ends with a raised cosine kept below sqrt(2)*from and above to/2^(1/6))\n"
                 "as 32-bit float WAV; the file names its sweep, which deconvolve reads back. Its length is a\n"
                 "whole number of cycles of --from over its rate constant, so that harmonics line up; a length\n"
                 "more than 1%% from --seconds is warned of. --inverse writes the inverse filter: the sweep\n"
                 "convolved with it is a unit impulse (0 dB) across the flat band, sqrt(2)*from to to/2^(1/6).\n"
                 "sweep refuses a band without a flat part (sqrt(2)*from must be below to/2^(1/6)), and a sweep\n"
                 "longer than 600 s or 8388608 frames once rounded (174 s at 48 kHz): the exact inverse is made\n"
                 "in one transform of twice the sweep's length; and a sweep that deconvolve could not take within\n"
                 "2 GiB even for a mono recording of its own length (at 48 kHz, beyond about 160 s).\n"
                 "deconvolve writes OUT-IR.wav (float, starting halfway to the 2nd harmonic's response before\n"
                 "time zero, whose frame it prints, and reaching as far as the recording runs past the sweep, at\n"
                 "most the sweep's length or 10 s past time zero, whichever is longer), with --harmonics N the\n"
                 "responses of harmonics 2 to N as OUT-IR-h2.wav ..., and the frequency response as OUT-IR.csv\n"
                 "(Hz,dB,degrees,flat; phase with the measured delay taken out; flat 1 within the flat band) and\n"
                 "OUT-IR.svg (the flat band shaded). It refuses a sweep file whose samples differ from the sweep it\n"
                 "names by more than 1e-6, or whose band has no flat part; a recording of another rate, an empty\n"
                 "or silent one (below -120 dBFS) or one with NaN or infinite samples; and a recording that would\n"
                 "take more than 2 GiB to deconvolve (30 minutes of 48 kHz stereo fit with a sweep of up to a\n"
                 "minute). It warns of a recording that clips (3 or more samples in a row at full scale), is shorter\n"
                 "than the sweep, whose strongest response lies outside the part kept (a sweep that started\n"
                 "too late), or that has gaps of digital silence of 1 ms or more within the sweep (a dropout), and\n"
                 "marks the figures it prints [unreliable: ...]. measure (Windows) plays the sweep\n"
                 "(default peak -6 dBFS) on --device while recording --input (default devices: the system's),\n"
                 "checks its outputs before playing, and reports the loop's delay as deconvolve does, marked when\n"
                 "the devices' positions make it negative.\n"
                 "play (Windows) plays the program's 16-bit chain at 44100 Hz, after setting the device's mixer to\n"
                 "--volume if given. With --pure it plays the pure path as the program does with pure synthesis:\n"
                 "at --rate (default 44100), in 16-bit PCM with TPDF dither (seed 1, or --dither tpdf:SEED), 24-bit\n"
                 "PCM (--bits 24, dithered only with --dither) or 32-bit float (--float), one sine at 0 dB peaking\n"
                 "at --level dBFS (default -12.04, steps of 0.01; its RMS is 3.01 dB lower), the sum held below full\n"
                 "scale. The mixer is then left alone unless --volume is given: for the level to hold, the device's\n"
                 "own volume must be at 100%%. A format the device refuses is replaced by the nearest it takes, and\n"
                 "said so on standard error.\n"
                 "\nexit codes: 0 done; 1 a file is missing, unreadable, not an acceptable WAV file or cannot be "
                 "written;\n            2 bad usage, or a request that cannot be done; 130 interrupted.\n");
}

}  // namespace

int run(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file-size limit then fails the write, which is reported, instead of
    // killing the tool with a file half written.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (argc < 2) {
        printHelp(stderr);
        return kExitRefused;
    }
    const std::string name = argv[1];
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || (i == 1 && (name == "-h" || name == "help"))) {
            printHelp(stdout);
            return kExitOk;
        }
        if (i == 1 && name == "--version") {
            std::printf("zelvaro-render %s (%s, distributed by %s)\n", ZELVARO_VERSION_TEXT, ZELVARO_PRODUCT_NAME,
                        ZELVARO_DISTRIBUTOR);
            return kExitOk;
        }
    }
    for (const Command& c : kCommands) {
        if (name == c.name) return c.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    printError("unknown command \"" + name + "\" (see zelvaro-render --help)");
    return kExitRefused;
}

}  // namespace zelvaro::cli

// The last resort: every command checks sizes before it takes memory, but an
// exception that still escapes ends the tool with a message and a failure
// code instead of an abort.
int main(int argc, char** argv) {
#ifdef _WIN32
    // Run from a downloads folder, the tool must not take a sound or codec
    // library that someone put beside it.
    zelvaro::LoadLibrariesFromSystemFolderOnly();
#endif
    const zelvaro::cli::Utf8Console console;
    try {
        return zelvaro::cli::run(argc, argv);
    } catch (const std::bad_alloc&) {
        zelvaro::cli::printError("there is not enough memory for this");
    } catch (const std::exception& e) {
        zelvaro::cli::printError(std::string("internal error: ") + e.what());
    }
    return zelvaro::cli::kExitFailed;
}
