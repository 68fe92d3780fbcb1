#!/usr/bin/env bash
# audio_proof.sh WORKDIR ANALYZE_ARGS... -- COMMAND [ARGS...]
# Plays through COMMAND while recording the sink's monitor, then checks the
# recording with analyze_tone.py. COMMAND exits 77 when it has no device.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$1; shift
analyze=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do analyze+=("$1"); shift; done
shift
mkdir -p "$work"
raw="$work/recording-$$.raw"
"$here/record_monitor.sh" "$raw" "$@"
status=$?
if [ $status -ne 0 ]; then
  rm -f "$raw"
  exit $status
fi
python3 "$here/analyze_tone.py" "$raw" "${analyze[@]}"
status=$?
[ $status -eq 0 ] && rm -f "$raw"
exit $status
