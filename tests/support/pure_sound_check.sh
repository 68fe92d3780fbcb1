#!/usr/bin/env bash
# pure_sound_check.sh WORKDIR NAME RATE THDN_LIMIT_DB EMULATOR ZELVARO_RENDER -- COMMAND [ARGS...]
# Runs COMMAND, which plays a 997 Hz sine at -1 dBFS on both channels, into a
# null sink of 32-bit float at RATE recorded from its monitor as float, so
# that the sink adds nothing, and checks the steady part with
# `zelvaro-render analyze`: -1.00 dBFS within 0.01 dB, within 0.01 ppm of
# 997 Hz, THD+N below THDN_LIMIT_DB in both channels. The sink is put back
# as it was afterwards. Exits 77 (skip) when there is no sound server.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$1 name=$2 rate=$3 limit=$4 emulator=$5 tool=$6
shift 6
[ "${1:-}" = "--" ] && shift
mkdir -p "$work"

if [ -z "${PULSE_SERVER:-}" ] || ! command -v pactl >/dev/null 2>&1; then
  echo "SKIP: no PulseAudio server"; exit 77
fi
# shellcheck source=../../tools/lib/winenv.sh
source "$here/../../tools/lib/winenv.sh"
export ZELVARO_SINK=${ZELVARO_SINK:-zelvaro_null}
zelvaro_remake_sink float32le "$rate" || { echo "FAIL: the float sink could not be made"; exit 1; }
trap 'zelvaro_remake_sink' EXIT

raw="$work/$name.raw"
ZELVARO_RECORD_FORMAT=float32le ZELVARO_RECORD_RATE=$rate "$here/record_monitor.sh" "$raw" "$@"
status=$?
[ $status -eq 0 ] || exit $status
python3 "$here/float_recording.py" "$raw" "$rate" "$work/$name.wav" || exit 1
out=$("$emulator" "$tool" analyze "$work/$name.wav" --freq 997 2>&1)
echo "$out"
python3 - "$limit" "$out" <<'PY' || exit 1
import re, sys
limit, text = float(sys.argv[1]), sys.argv[2]
ppm = [float(x) for x in re.findall(r"\(([-+0-9.]+) ppm from", text)]
level = [float(x) for x in re.findall(r"level:\s+(-?[0-9.]+) dBFS", text)]
thdn = [float(x) for x in re.findall(r"THD\+N:\s+(-?[0-9.]+) dB", text)]
ok = len(ppm) == len(level) == len(thdn) == 2
if not ok:
    print("FAIL: analyze did not report two channels")
for c in range(len(thdn) if ok else 0):
    if abs(ppm[c]) > 0.01:
        print("FAIL: channel %d is %+.4f ppm from 997 Hz" % (c + 1, ppm[c])); ok = False
    if abs(level[c] + 1.0) > 0.01:
        print("FAIL: channel %d level %.3f dBFS, not -1.00 +- 0.01" % (c + 1, level[c])); ok = False
    if thdn[c] > limit:
        print("FAIL: channel %d THD+N %.2f dB above %.0f dB" % (c + 1, thdn[c], limit)); ok = False
print("PASS" if ok else "")
sys.exit(0 if ok else 1)
PY
rm -f "$raw"
