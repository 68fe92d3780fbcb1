// The sweep options, and what deconvolve and measure write for a recording of a sweep: the impulse
// response, the harmonics' responses, the frequency response as a table and
// a plot; and what they print of it.
#pragma once

#include <string>

#include <vector>

#include "cli/cli_options.h"
#include "impulse/exp_sweep.h"
#include "impulse/sample_file.h"

namespace zelvaro::cli {

// --from, --to, --seconds, --peak, --fade and --rate, as sweep and measure
// take them.
std::vector<OptionSpec> sweepOptionSpecs();
// The sweep they ask for, over what `request` holds already; false with a
// message printed when one is missing, out of range or cannot be swept.
bool readSweepRequest(const ParsedArgs& parsed, SweepRequest& request);

// Writes OUT-IR.wav (one channel per recorded channel, 32-bit float),
// OUT-IR-h2.wav ... up to `highestOrder`, OUT-IR.csv and OUT-IR.svg, and
// prints each channel's delay and harmonic levels. `playbackOffsetFrames`
// is how much later the sweep started than the recording (measure), taken
// off the delay reported. Returns an ExitCode.
int writeImpulseResponses(const std::string& outPath, const SampleFile& recording, const ExpSweep& sweep,
                          int highestOrder, double playbackOffsetFrames = 0.0);

// The sweep a sweep file names, for its rate: false with a message printed
// when it names none or its samples are not that sweep's.
bool sweepOfFile(const SampleFile& file, const std::string& path, SweepRequest& request);

}  // namespace zelvaro::cli
