#!/usr/bin/env bash
# Builds the WAV reader's libFuzzer target with clang (ASan + UBSan) and runs it
# for SECONDS (default 300) on a scratch copy of the committed corpus, so that
# new inputs do not pile up in the repository. A crash leaves its input as
# build-fuzz/crash-* and ends the run with a non-zero status.
#
#   fuzz/run-fuzzer.sh [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
out=$root/build-fuzz
mkdir -p "$out/corpus"

sources=("$root"/src/wavefile/*.cpp "$root/src/signal/sound_source.cpp" "$root/fuzz/wav_source_fuzzer.cpp")
sources=($(printf '%s\n' "${sources[@]}" | grep -v '_win\.cpp$'))
clang++ -std=c++17 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -I"$root/src" "${sources[@]}" -o "$out/wav_source_fuzzer"

cp -n "$root"/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true
cd "$out"
exec ./wav_source_fuzzer -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$@" corpus
