#!/usr/bin/env bash
# pure_play_test.sh WORKDIR EMULATOR ZELVARO_RENDER RATE FORMAT THDN_LIMIT_DB
# zelvaro-render play --pure at RATE in FORMAT (16, 24 or float) into a null sink
# of 32-bit float at that rate, recorded from its monitor as float, so that
# the sink adds nothing: a 997 Hz sine at -1 dBFS must come back at
# -1.00 dBFS within 0.01 dB, within 0.01 ppm of 997 Hz, with THD+N below
# THDN_LIMIT_DB in both channels. The sink is put back as it was afterwards.
# Exits 77 (skip) when there is no sound server to record from.
set -u
here=$(cd "$(dirname "$0")" && pwd)
support=$(cd "$here/../support" && pwd)
work=$1 emulator=$2 tool=$3 rate=$4 format=$5 limit=$6
mkdir -p "$work"
name="pure-$rate-$format"

if [ -z "${PULSE_SERVER:-}" ] || ! command -v pactl >/dev/null 2>&1; then
  echo "SKIP: no PulseAudio server"; exit 77
fi
# shellcheck source=../../tools/lib/winenv.sh
source "$here/../../tools/lib/winenv.sh"
export ZELVARO_SINK=${ZELVARO_SINK:-zelvaro_null}
zelvaro_remake_sink float32le "$rate" || { echo "FAIL: the float sink could not be made"; exit 1; }
trap 'zelvaro_remake_sink' EXIT

# Flags 4 (stereo, continuous), sine, one tone at 997 Hz on both sides,
# relative amplitude 0 dB.
python3 - "$work/$name.tdf" <<'PY'
import struct, sys
open(sys.argv[1], 'wb').write(struct.pack('<HBBI', 4, 0, 1, 0) + struct.pack('<64d', *([997.0] * 64)) + bytes(16))
PY

case $format in
  16) samples=(--bits 16) ;;
  24) samples=(--bits 24) ;;
  float) samples=(--float) ;;
  *) echo "no format $format"; exit 2 ;;
esac
raw="$work/$name.raw"
ZELVARO_RECORD_FORMAT=float32le ZELVARO_RECORD_RATE=$rate "$support/record_monitor.sh" "$raw" \
  "$emulator" "$tool" play "$work/$name.tdf" --pure --rate "$rate" "${samples[@]}" --level -1 --seconds 3
status=$?
[ $status -eq 0 ] || exit $status
python3 "$support/float_recording.py" "$raw" "$rate" "$work/$name.wav" || exit 1
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
