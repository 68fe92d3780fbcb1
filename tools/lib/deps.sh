# Installs the Debian packages the build and the tests need, when missing.
# Sourced by tools/run and tools/test.

zelvaro_need_packages() {
  local missing=()
  local pair cmd pkg
  for pair in "$@"; do
    cmd=${pair%%:*}; pkg=${pair#*:}
    case "$cmd" in
      /*) [ -e "$cmd" ] || missing+=("$pkg") ;;
      *) command -v "$cmd" >/dev/null 2>&1 || missing+=("$pkg") ;;
    esac
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  # One broken, unrelated package index must not stop us: ignore update's status.
  $sudo apt-get update -qq >/dev/null 2>&1 || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

zelvaro_build_deps() {
  zelvaro_need_packages \
    cmake:cmake ninja:ninja-build g++:g++ \
    x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
    i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix \
    x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64 \
    /usr/src/googletest/CMakeLists.txt:googletest halibut:halibut \
    /usr/include/kissfft/kissfft.hh:libkissfft-dev
}

zelvaro_runtime_deps() {
  zelvaro_need_packages \
    wine:wine /usr/lib/wine/wine64:wine64 Xvfb:xvfb xdpyinfo:x11-utils import:imagemagick \
    pulseaudio:pulseaudio parec:pulseaudio-utils pactl:pulseaudio-utils \
    python3:python3 /usr/share/wine/fonts/marlett.ttf:fonts-wine
}

zelvaro_test_deps() {
  zelvaro_need_packages \
    /usr/include/benchmark/benchmark.h:libbenchmark-dev sox:sox ffmpeg:ffmpeg clang:clang \
    /usr/lib/python3/dist-packages/numpy/__init__.py:python3-numpy \
    /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev
}
