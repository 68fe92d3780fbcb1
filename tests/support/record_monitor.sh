#!/usr/bin/env bash
# record_monitor.sh OUT.raw COMMAND [ARGS...]
# Records the null sink's monitor (stereo; s16le at 44100 Hz, or the format
# and rate in ZELVARO_RECORD_FORMAT and ZELVARO_RECORD_RATE) into OUT.raw
# while COMMAND runs, and exits with COMMAND's status. Exit 77 (skip) with a
# reason when no sound server or recorder is available.
#
# ZELVARO_RECORD_LATENCY_MSEC (default 20) is the latency the recorder asks
# the server for; "default" asks for none, as an analyser or a screen
# recorder would, and leaves the sink's latency to the players.
set -u
out=$1; shift
latency=${ZELVARO_RECORD_LATENCY_MSEC:-20}
format=${ZELVARO_RECORD_FORMAT:-s16le}
rate=${ZELVARO_RECORD_RATE:-44100}
case $format in
  s16le) width=2 ;;
  s24le) width=3 ;;
  float32le|s32le) width=4 ;;
  *) echo "record_monitor.sh: no sample format $format" >&2; exit 2 ;;
esac
# A tenth of a second: the recorder is taken as running once it has written this.
ready=$(( rate * 2 * width / 10 ))
latency_arg=(--latency-msec="$latency")
[ "$latency" = default ] && latency_arg=()
if [ -z "${PULSE_SERVER:-}" ] || ! command -v parec >/dev/null 2>&1; then
  echo "SKIP: no PulseAudio server or parec for recording the output" >&2
  exit 77
fi
if ! pactl list short sinks 2>/dev/null | grep -q "${ZELVARO_SINK:-zelvaro_null}"; then
  echo "SKIP: the null sink ${ZELVARO_SINK:-zelvaro_null} is not loaded" >&2
  exit 77
fi
parec -d "${ZELVARO_SINK:-zelvaro_null}.monitor" --format="$format" --rate="$rate" --channels=2 \
  "${latency_arg[@]}" --raw "$out" </dev/null 2>/dev/null &
rec=$!
# The recorder takes a moment to connect: play only once it is writing.
for i in $(seq 1 300); do
  [ "$(stat -c %s "$out" 2>/dev/null || echo 0)" -ge "$ready" ] && break
  sleep 0.05
done
[ -n "${ZELVARO_DEBUG_RECORD:-}" ] && echo "recorder ready after $i polls" >&2
if [ "$(stat -c %s "$out" 2>/dev/null || echo 0)" -lt "$ready" ]; then
  kill "$rec" 2>/dev/null
  echo "SKIP: the recorder of the sink's monitor did not start" >&2
  exit 77
fi
"$@"
status=$?
sleep 0.5   # the tail of the sound is still in the sink's buffer
kill "$rec" 2>/dev/null
wait "$rec" 2>/dev/null
exit $status
