# A private desktop for the Windows build: an X server, a PulseAudio server with
# a null sink (its monitor is what the tests record), and a Wine prefix with a
# persistent wineserver. Sourced by tools/run and tools/test.
#
#   zelvaro_env_start STATE_DIR [reuse-display]   exports DISPLAY, WINEPREFIX, PULSE_SERVER ...
#   zelvaro_env_stop                              stops only what zelvaro_env_start started
#
# Every background service gets its standard streams from/to /dev/null: a
# service that inherits the caller's pipes keeps a test runner waiting forever.

ZELVARO_STARTED_PIDS=()

zelvaro_free_display() {
  local n
  for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo "$n"; return 0
    fi
  done
  return 1
}

zelvaro_start_xvfb() {
  local n
  n=$(zelvaro_free_display) || { echo "no free X display" >&2; return 1; }
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  ZELVARO_STARTED_PIDS+=($!)
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# The null sink's arguments: its sample format and rate (s16le at 44100 Hz
# unless ZELVARO_SINK_FORMAT or ZELVARO_SINK_RATE say otherwise).
zelvaro_sink_args() {
  local format=${1:-${ZELVARO_SINK_FORMAT:-s16le}} rate=${2:-${ZELVARO_SINK_RATE:-44100}}
  echo "sink_name=$ZELVARO_SINK format=$format rate=$rate channels=2"
}

# zelvaro_remake_sink FORMAT RATE: the null sink made again, under the same
# name, in another format and rate: a float sink at the rate played passes
# the program's samples untouched, where the default one rounds them to 16
# bits. Wine finds it by its name, so a program started after this plays
# into it; what plays or records at the time is cut off.
zelvaro_remake_sink() {
  local module
  module=$(pactl list short modules | awk -v s="sink_name=$ZELVARO_SINK" '$2 == "module-null-sink" && index($0, s) {print $1}')
  [ -n "$module" ] && pactl unload-module "$module"
  # shellcheck disable=SC2046
  pactl load-module module-null-sink $(zelvaro_sink_args "${1:-}" "${2:-}") >/dev/null
}

zelvaro_start_pulse() {
  local run=$1
  mkdir -p "$run/pulse-home"
  chmod 700 "$run"
  export PULSE_SERVER="unix:$run/pulse-native"
  export ZELVARO_SINK=zelvaro_null
  # -n: no default script, so nothing probes real hardware.
  HOME="$run/pulse-home" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=no --log-target="file:$run/pulse.log" \
    --load="module-null-sink $(zelvaro_sink_args)" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$run/pulse-native" \
    </dev/null >/dev/null 2>&1 &
  ZELVARO_STARTED_PIDS+=($!)
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "PulseAudio did not start (see $run/pulse.log); audio tests will be skipped" >&2
  unset PULSE_SERVER
  return 0
}

# Wine 8 passes no thread priority on to Linux, and every wait and event of a
# Wine thread goes through the wineserver. Beside busy processes, winmm's and
# the sound driver's threads and the server then wait their turn for longer
# than the 100 ms that winmm keeps queued for the sound server, and the sound
# breaks up (tools/bench-sound-load). The server and the programs (through
# tools/wine-run) therefore run at a raised priority where that is allowed
# (as root, or with a nice limit that permits it).
zelvaro_raise_wine_priority() {
  local want=${ZELVARO_WINE_NICE_LEVEL:--10}
  unset ZELVARO_WINE_NICE
  if [ "$(nice -n "$want" nice 2>/dev/null)" = "$(( $(nice) + want ))" ]; then
    export ZELVARO_WINE_NICE=$want
  fi
}

zelvaro_wineserver() {  # zelvaro_wineserver ARGS...: the server, at the raised priority
  if [ -n "${ZELVARO_WINE_NICE:-}" ]; then
    nice -n "$ZELVARO_WINE_NICE" wineserver "$@"
  else
    wineserver "$@"
  fi
}

zelvaro_start_wine() {
  local prefix=$1
  export WINEPREFIX="$prefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installer dialogs during prefix creation.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$prefix"
  zelvaro_raise_wine_priority
  zelvaro_wineserver -p </dev/null >/dev/null 2>&1
  wineboot -i </dev/null >/dev/null 2>&1
  # Audio through PulseAudio only, so waveOut device 0 is the null sink.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f </dev/null >/dev/null 2>&1
  # A virtual desktop gives windows their frames and captions without a window manager.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
  # Wine's own TrueType fonts (Marlett draws the caption buttons) are not
  # always found in their system folder; the prefix's font folder always is.
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # The desktop of the first boot is still the host's: restart the server so
  # the settings above take effect.
  wineserver -k </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  zelvaro_wineserver -p </dev/null >/dev/null 2>&1
  # Start Wine's background services now, with our /dev/null streams: started
  # later by the first test program, they would inherit the test runner's pipes.
  wineboot </dev/null >/dev/null 2>&1
}

zelvaro_env_start() {
  local state=$1 reuse_display=${2:-}
  mkdir -p "$state/run"
  export ZELVARO_STATE="$state"
  export XDG_RUNTIME_DIR="$state/run"
  if [ -z "$reuse_display" ] || ! xdpyinfo >/dev/null 2>&1; then
    zelvaro_start_xvfb || return 1
  fi
  zelvaro_start_pulse "$state/run"
  zelvaro_start_wine "$state/wineprefix"
}

zelvaro_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${ZELVARO_STARTED_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${ZELVARO_STARTED_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  ZELVARO_STARTED_PIDS=()
}
