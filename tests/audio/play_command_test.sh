#!/usr/bin/env bash
# play_command_test.sh WORKDIR EMULATOR ZELVARO_RENDER
# zelvaro-render play on the real device: a tone of fixed duration plays to its
# end, a continuous one stops after --seconds, both recorded from the sink as
# 1 kHz; a tone is heard from its start while another client records the
# sink at the server's default latency; a device that does not exist gives the
# play error and a failure exit.
# Exits 77 (skip) when there is no sound server to record from.
set -u
support=$(cd "$(dirname "$0")/../support" && pwd)
work=$1 emulator=$2 tool=$3
mkdir -p "$work"

# Tone files: flags (8 = fixed duration), waveform 0 (sine), 1 tone, 1,000 ms
# (3,000 ms for long.tdf), every frequency 1,000 Hz, relative amplitudes 0.
python3 - "$work" <<'PY'
import struct, sys
def tone(flags, ms=1000):
    return (struct.pack('<HBBI', flags, 0, 1, ms) + struct.pack('<64d', *([1000.0] * 64))
            + bytes(16))
open(sys.argv[1] + '/fixed.tdf', 'wb').write(tone(8))
open(sys.argv[1] + '/continuous.tdf', 'wb').write(tone(0))
open(sys.argv[1] + '/long.tdf', 'wb').write(tone(8, 3000))
PY

# seconds_between LOW HIGH: the "signal S s" figure of the last analysis within bounds.
check_seconds() {
  python3 -c 'import re,sys; s=float(re.search(r"signal ([0-9.]+) s", sys.argv[1]).group(1)); lo,hi=map(float,sys.argv[2:]); print("heard %.3f s, expected %s to %s" % (s, lo, hi)); sys.exit(0 if lo <= s <= hi else 1)' "$@"
}

out=$("$support/audio_proof.sh" "$work" --freq 1000 --min-seconds 0.8 -- \
      "$emulator" "$tool" play "$work/fixed.tdf" --volume 0)
status=$?
echo "$out"
[ $status -eq 0 ] || exit $status
check_seconds "$out" 0.9 1.1 || exit 1

out=$("$support/audio_proof.sh" "$work" --freq 1000 --min-seconds 0.3 -- \
      "$emulator" "$tool" play "$work/continuous.tdf" --seconds 0.6)
status=$?
echo "$out"
[ $status -eq 0 ] || exit $status
check_seconds "$out" 0.4 0.8 || exit 1

# A recorder that asks for no latency lets the idle sink render seconds of
# silence ahead; a player whose stream waited behind them lost the first
# second or so of the tone. Only the start is judged here: the loose
# frequency and upper bounds leave room for a break under a busy machine.
out=$(ZELVARO_RECORD_LATENCY_MSEC=default "$support/audio_proof.sh" "$work" --freq 1000 \
      --tolerance 0.05 --min-seconds 0.3 -- "$emulator" "$tool" play "$work/long.tdf" --volume 0)
status=$?
echo "$out"
[ $status -eq 0 ] || exit $status
check_seconds "$out" 2.9 3.5 || exit 1

out=$("$emulator" "$tool" play "$work/fixed.tdf" --device 100 2>&1)
status=$?
echo "$out"
if [ $status -eq 0 ] || ! echo "$out" | grep -q "Sound Play Error"; then
  echo "FAIL: a device that does not exist must give the play error and a failure exit"
  exit 1
fi

out=$("$emulator" "$tool" play "$work/fixed.tdf" --volume loud 2>&1)
status=$?
if [ $status -ne 2 ]; then
  echo "$out"; echo "FAIL: a bad volume must be refused with exit 2"
  exit 1
fi

# Options of the pure path that cannot be played: refused with exit 2 and a
# message naming the option, before anything plays.
while IFS='|' read -r args message; do
  # shellcheck disable=SC2086
  out=$("$emulator" "$tool" play "$work/fixed.tdf" $args 2>&1)
  status=$?
  if [ $status -ne 2 ] || ! echo "$out" | grep -qF -- "$message"; then
    echo "$out"; echo "FAIL: play $args must be refused with exit 2 and \"$message\""
    exit 1
  fi
  echo "refused: play $args: $message"
done <<'ROWS'
--rate 96000|--rate plays from the pure path: add --pure
--level -6|--level plays from the pure path: add --pure
--float|--float plays from the pure path: add --pure
--pure --rate 7999|--rate takes frames per second from 8000 to 192000
--pure --rate 192001|--rate takes frames per second from 8000 to 192000
--pure --rate 96k|--rate takes frames per second from 8000 to 192000
--pure --bits 20|--bits takes 16 or 24
--pure --bits 24 --float|--bits and --float choose the same thing
--pure --float --dither tpdf|--dither is for 16- and 24-bit samples
--pure --dither rect|--dither takes tpdf or tpdf:SEED
--pure --dither tpdf:|--dither takes tpdf or tpdf:SEED
--pure --dither tpdf:18446744073709551616|--dither takes tpdf or tpdf:SEED
--pure --level 0.01|--level takes the peak of one tone in dBFS from -140 to 0
--pure --level -140.01|--level takes the peak of one tone in dBFS from -140 to 0
--pure --level -12.045|--level takes the peak of one tone in dBFS from -140 to 0
--pure --level 1e-1|--level takes the peak of one tone in dBFS from -140 to 0
--pure --level|--level needs a value
ROWS
echo "PASS"
