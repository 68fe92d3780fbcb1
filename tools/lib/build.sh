# Configure-and-build helpers shared by tools/run and tools/test.
# Build folders live under build/ (ignored by git); each Windows build gets its
# own Wine prefix under its build folder.

ZELVARO_ROOT=${ZELVARO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
ZELVARO_BUILD=${ZELVARO_BUILD:-$ZELVARO_ROOT/build}
ZELVARO_JOBS=${ZELVARO_JOBS:-$(nproc 2>/dev/null || echo 2)}

# zelvaro_configure NAME [cmake args...]
zelvaro_configure() {
  local name=$1; shift
  cmake -S "$ZELVARO_ROOT" -B "$ZELVARO_BUILD/$name" -G Ninja "$@" >"$ZELVARO_BUILD/$name.configure.log" 2>&1 \
    || { cat "$ZELVARO_BUILD/$name.configure.log" >&2; return 1; }
}

# zelvaro_build NAME [targets...]
zelvaro_build() {
  local name=$1; shift
  ninja -C "$ZELVARO_BUILD/$name" -j "$ZELVARO_JOBS" "$@"
}

zelvaro_configure_native() {
  zelvaro_configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVARO_BENCHMARKS=ON -DZELVARO_FUZZ=ON
}
zelvaro_configure_sanitize() {
  zelvaro_configure sanitize -DCMAKE_BUILD_TYPE=Debug -DZELVARO_SANITIZE=ON
}
zelvaro_configure_win64() {
  zelvaro_configure win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$ZELVARO_ROOT/cmake/mingw-w64-x86_64.cmake"
}
zelvaro_configure_win32() {
  zelvaro_configure win32 -DCMAKE_BUILD_TYPE=Release -DZELVARO_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$ZELVARO_ROOT/cmake/mingw-w64-i686.cmake"
}
