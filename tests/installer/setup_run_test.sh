#!/usr/bin/env bash
# setup_run_test.sh WORKDIR DRIVER SETUP PAYLOAD_EXE PAYLOAD_HLP PLANTED_DLL
# Runs the setup-run driver in a Wine prefix of its own, so that the install,
# its registry entries and its shortcuts start from a fresh machine and never
# touch the prefix of the other tests. The X display comes from the caller.
set -u
work=$1 driver=$2 setup=$3 exe=$4 hlp=$5 planted=$6
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/lib/winenv.sh"
rm -rf "$work"
mkdir -p "$work"
zelvaro_start_wine "$work/prefix"
export ZELVARO_SETUP=$(winepath -w "$setup") ZELVARO_PAYLOAD_EXE=$(winepath -w "$exe") \
       ZELVARO_PAYLOAD_HLP=$(winepath -w "$hlp") ZELVARO_PLANTED_DLL=$(winepath -w "$planted")
# Libraries that are not Wine's own come first from a program's folder, as
# on Windows, for the two that a test plants beside the setup file.
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winmm,msacm32=n,b" wine "$driver" --gtest_color=no
status=$?
wineserver -k </dev/null >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
exit $status
