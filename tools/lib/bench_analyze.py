#!/usr/bin/python3
"""The measurements of tools/bench-analyze: per length, the CPU time of
zelvaro-render analyze (user + system of the child) and its THD+N beside the
separate analysis's.

usage: bench_analyze.py zelvaro-render WORK-FOLDER"""

import os
import re
import resource
import struct
import subprocess
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quality_analysis  # noqa: E402

RATE = 48000
LENGTHS = [
    (100_003, 'prime'),
    (1_234_567, '127 x 9721 (aim: < 1 s)'),
    (2_879_999, '60 s less one frame, prime'),
    (2_879_993, '31 x 61 x 1523'),
    (2_880_000, '60 s, a fast size'),
    (2 * 2_880_000 + 1, '2 min: the first 60 s is analysed'),
]


def write_float_wav(path, x):
    body = x.astype('<f4').tobytes()
    fmt = struct.pack('<HHIIHHH', 3, 1, RATE, RATE * 4, 4, 32, 0)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(body)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(body)) + body)


def cpu_seconds(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, check=True).stdout
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime, out


def main():
    render, work = sys.argv[1], sys.argv[2]
    print(f'{"frames":>10}  {"":<36} {"CPU s":>6}  {"THD+N dB":>9}  {"numpy":>8}')
    worst = 0.0
    for frames, note in LENGTHS:
        n = np.arange(frames, dtype=np.float64)
        x = 10 ** (-1 / 20) * np.sin(2 * np.pi * 997 * n / RATE + 0.3)
        path = os.path.join(work, f'{frames}.wav')
        write_float_wav(path, x)
        seconds, out = cpu_seconds([render, 'analyze', path, '--freq', '997'])
        ours = float(re.search(r'THD\+N: +(-?[\d.]+)', out).group(1))
        # The header is 46 bytes: RIFF (12), fmt  with cbSize (8 + 18), data (8).
        analysed = np.fromfile(path, dtype='<f4', offset=46)[:min(frames, 60 * RATE)].astype(np.float64)
        ref = quality_analysis.analyse(analysed, RATE, 997.0)['thdn_db']
        if frames <= 60 * RATE:
            worst = max(worst, seconds)
        print(f'{frames:>10}  {note:<36} {seconds:6.2f}  {ours:9.2f}  {ref:8.2f}')
        os.remove(path)
    print(f'worst CPU time up to 60 s: {worst:.2f} s')


if __name__ == '__main__':
    main()
