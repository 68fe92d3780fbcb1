// The sweep options, and what deconvolve and measure write for a recording of a sweep: the impulse
// response, the harmonics' responses, the frequency response as a table and
// a plot; and what they print of it.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_output_set.h"
#include "impulse/exp_sweep.h"
#include "impulse/impulse_measurement.h"
#include "wavefile/sample_file.h"

namespace zelvaro::cli {

// The highest harmonic whose response deconvolve and measure write
// (--harmonics).
constexpr int kMaxHarmonicOrder = 16;

// --from, --to, --seconds, --peak, --fade and --rate, as sweep and measure
// take them.
std::vector<OptionSpec> sweepOptionSpecs();
// The sweep they ask for, over what `request` holds already; false with a
// message printed when one is missing, out of range or cannot be swept.
bool readSweepRequest(const ParsedArgs& parsed, SweepRequest& request);
// Prints a warning when the sweep's length (a whole number of cycles)
// differs noticeably from the one asked for.
void warnOfSweepLength(const ExpSweep& sweep, const SweepRequest& request);

// Adds OUT-IR.wav, OUT-IR-h2.wav ... up to `highestOrder`, OUT-IR.csv and
// OUT-IR.svg to `outputs`, in the order writeImpulseResponses writes them.
void addImpulseOutputs(OutputSet& outputs, const std::string& outPath, int highestOrder);

// Checks `outputs` (see OutputSet::check); prints the reason and returns
// the ExitCode when they cannot be written, kExitOk when they can.
int checkOutputs(const OutputSet& outputs);

// What cannot be measured in a recording (`check`) is refused with a
// message and an ExitCode; kExitOk when it can be, with each warning printed.
int refuseOrWarn(const RecordingCheck& check, const std::string& name, const ExpSweep& sweep);

// Deconvolves each channel of `recording` and writes the outputs added by
// addImpulseOutputs, all or none, printing each channel's delay and
// harmonic levels (marked where `check` found the recording unreliable).
// `playbackOffsetFrames` is how much later the sweep started than the
// recording (measure), taken off the delay reported. Returns an ExitCode.
int writeImpulseResponses(OutputSet& outputs, const SampleFile& recording, const RecordingCheck& check,
                          const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames = 0.0);

// The sweep a sweep file names, for its rate: false with a message printed
// when it names none, names one that cannot be made, or its samples are not
// that sweep's within kSweepFileTolerance.
bool sweepOfFile(const SampleFile& file, const std::string& path, SweepRequest& request);

// How far a sweep file's samples may lie from the sweep it names: the
// rounding of 32-bit float, and a little more (-120 dBFS).
constexpr double kSweepFileTolerance = 1e-6;

}  // namespace zelvaro::cli
