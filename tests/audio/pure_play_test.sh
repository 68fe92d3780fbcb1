#!/usr/bin/env bash
# pure_play_test.sh WORKDIR EMULATOR ZELVARO_RENDER RATE FORMAT THDN_LIMIT_DB
# zelvaro-render play --pure of a 997 Hz stereo sine at --level -1 at RATE
# in FORMAT (16, 24 or float), checked by pure_sound_check.sh through a
# float sink at that rate.
set -u
support=$(cd "$(dirname "$0")/../support" && pwd)
work=$1 emulator=$2 tool=$3 rate=$4 format=$5 limit=$6
mkdir -p "$work"
name="pure-$rate-$format"

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
exec "$support/pure_sound_check.sh" "$work" "$name" "$rate" "$limit" "$emulator" "$tool" -- \
  "$emulator" "$tool" play "$work/$name.tdf" --pure --rate "$rate" "${samples[@]}" --level -1 --seconds 3
