#!/bin/sh
# dpi_window_test.sh DPI EMULATOR PROGRAM [ARGS...]
# Runs PROGRAM with the display set to DPI. Wine reads the setting when a
# process starts, so it is set before and put back after; the test runs
# alone (RUN_SERIAL), so no other program starts at this DPI meanwhile.
set -u
dpi=$1; emulator=$2; shift 2
key='HKCU\Control Panel\Desktop'
previous=$("$emulator" reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' | awk '$1 == "LogPixels" { print $3 }')
"$emulator" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || exit 1
ZELVARO_EXPECTED_DPI=$dpi "$emulator" "$@"
status=$?
if [ -n "$previous" ]; then
  "$emulator" reg add "$key" /v LogPixels /t REG_DWORD /d "$((previous))" /f >/dev/null 2>&1
else
  "$emulator" reg delete "$key" /v LogPixels /f >/dev/null 2>&1
fi
exit $status
