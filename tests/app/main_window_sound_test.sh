#!/usr/bin/env bash
# main_window_sound_test.sh WORKDIR FILTER CHECK_ARGS... -- EMULATOR TEST_EXE
# Runs one test of the window's sound tests while recording the sink's
# monitor, then checks the recording with main_window_sound_check.py.
set -u
here=$(cd "$(dirname "$0")" && pwd)
support=$(cd "$here/../support" && pwd)
work=$1 filter=$2; shift 2
check=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do check+=("$1"); shift; done
shift
mkdir -p "$work"
raw="$work/$filter.raw"
"$support/record_monitor.sh" "$raw" "$@" --gtest_filter="MainWindowSound.$filter" || exit $?
python3 "$here/main_window_sound_check.py" "$raw" "${check[@]}"
status=$?
[ $status -eq 0 ] && rm -f "$raw"
exit $status
