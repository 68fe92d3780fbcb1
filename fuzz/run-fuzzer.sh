#!/usr/bin/env bash
# Builds the WAV reader's libFuzzer target with clang (ASan + UBSan) and runs it
# for SECONDS (default 300) on a scratch copy of the committed corpus, so that
# new inputs do not pile up in the repository. A crash leaves its input as
# build-fuzz/crash-* and ends the run with a non-zero status.
#
#   fuzz/run-fuzzer.sh [SECONDS] [extra libFuzzer flags...]
# ZELVARO_FUZZ_TARGET=acm runs the codec buffering target on fuzz/acm-corpus instead;
# ZELVARO_FUZZ_TARGET=pure the pure reader on fuzz/pure-corpus;
# ZELVARO_FUZZ_TARGET=sample the sweep-file reader on fuzz/sample-file-corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
out=$root/build-fuzz
mkdir -p "$out"

target=${ZELVARO_FUZZ_TARGET:-wav}
case "$target" in
  wav) fuzzer=wav_source_fuzzer; seeds=$root/fuzz/corpus; extra=() ;;
  pure) fuzzer=pure_wav_reader_fuzzer; seeds=$root/fuzz/pure-corpus; extra=() ;;
  acm) fuzzer=acm_source_fuzzer; seeds=$root/fuzz/acm-corpus; extra=("$root/tests/wavefile/scripted_acm.cpp") ;;
  sample) fuzzer=sample_file_fuzzer; seeds=$root/fuzz/sample-file-corpus
          extra=("$root/src/impulse/exp_sweep.cpp" "$root/src/fft/fft.cpp" -I/usr/include/kissfft) ;;
  *) echo "unknown ZELVARO_FUZZ_TARGET $target" >&2; exit 2 ;;
esac
# The wave file code and the portable code it builds on (the readers of the
# precise path use the signal chain's converters, the sample loops the
# processor check of base).
sources=("$root"/src/wavefile/*.cpp "$root"/src/signal/*.cpp "$root"/src/base/*.cpp "$root"/src/tone/*.cpp
         "$root/fuzz/$fuzzer.cpp" "${extra[@]}")
sources=($(printf '%s\n' "${sources[@]}" | grep -v '_win\.cpp$'))
clang++ -std=c++17 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -I"$root/src" -I"$root/tests" "${sources[@]}" -o "$out/$fuzzer"

mkdir -p "$out/corpus-$target"
cp -n "$seeds"/* "$out/corpus-$target/" 2>/dev/null || true
cd "$out"
exec "./$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$@" "corpus-$target"
