#!/usr/bin/env bash
# play_settings_restart_test.sh WORKDIR EMULATOR PROGRAM
# Records PROGRAM (play_settings_restart: 1 kHz at 0 dB, then Play Settings
# OK at -20 dB while playing) from the sink's monitor and checks that the
# recording holds 1 kHz at both levels, the louder first. The sound server
# scales by the mixer value over 65,535: the default tone (a sine of peak
# 8,192) is heard at 6,408 at 0 dB (51,264) and at 2,848 at -20 dB (22,784).
set -u
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../support
work=$1; shift
mkdir -p "$work"
raw="$work/restart-$$.raw"
"$support/record_monitor.sh" "$raw" "$@"
status=$?
if [ $status -ne 0 ]; then
  rm -f "$raw"
  exit $status
fi
python3 - "$raw" <<'PY'
import array, math, sys
data = array.array("h")
data.frombytes(open(sys.argv[1], "rb").read())
left = data[0::2]
rate = 44100
active = [i for i, v in enumerate(left) if abs(v) > 200]
if not active:
    print("FAIL: the recording is silent"); sys.exit(1)
first, last = active[0], active[-1]
print("signal %.2f s" % ((last - first) / rate))

# Medians, so that a short dropout of a busy machine does not count: the
# period is the median distance between rising zero crossings, the level the
# median RMS of 10 ms pieces.
def measure(start, end):
    body = left[start:end]
    crossings = [i - 1 + (-body[i - 1]) / (body[i] - body[i - 1])
                 for i in range(1, len(body)) if body[i - 1] < 0 <= body[i]]
    periods = sorted(b - a for a, b in zip(crossings, crossings[1:]))
    freq = rate / periods[len(periods) // 2] if periods else 0
    piece = rate // 100
    levels = sorted(math.sqrt(sum(v * v for v in body[i:i + piece]) / piece)
                    for i in range(0, len(body) - piece + 1, piece))
    peak = levels[len(levels) // 2] * math.sqrt(2)
    return freq, peak

# Half a second well inside each part: the first after 0.3 s, the last ending
# 0.3 s before the end.
third = int(0.3 * rate)
half = int(0.5 * rate)
ok = True
for name, (start, end), want in (("0 dB", (first + third, first + third + half), 6408),
                                 ("-20 dB", (last - third - half, last - third), 2848)):
    freq, peak = measure(start, end)
    print("%s: %.1f Hz, sine peak %.0f (expected %d)" % (name, freq, peak, want))
    if abs(freq - 1000) > 10:
        print("FAIL: %s part is not 1 kHz" % name); ok = False
    if abs(20 * math.log10(max(peak, 1) / want)) > 1.0:
        print("FAIL: %s part is not within 1 dB of %d" % (name, want)); ok = False
sys.exit(0 if ok else 1)
PY
status=$?
[ $status -eq 0 ] && rm -f "$raw"
exit $status
