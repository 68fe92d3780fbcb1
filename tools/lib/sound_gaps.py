#!/usr/bin/env python3
"""Counts the breaks in a recorded steady sine (raw s16le stereo, 44100 Hz).

sound_gaps.py REC.raw [--freq 1000] [--window-ms 10]

The recording's left channel, from the first to the last audible sample less
50 ms at each end, is cut into windows (10 ms: ten whole periods of 1 kHz at
44,100 Hz). In each the tone's amplitude and phase are measured against a
fixed clock. A window whose amplitude is below half the median holds a gap
(the sound stopped for a part of it); two neighbouring windows with full
sound whose phases differ by more than 0.2 rad mark a phase jump (the sound
went on late or early, as after a gap too short to empty a window). Prints
one line: seconds of sound, gap windows, gap events (runs of gap windows),
phase jumps.
"""
import argparse
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'support'))
from recording import read_left_channel, sounding_span  # noqa: E402


def measure(samples, rate, freq, window):
    """(amplitude, phase) of the tone in each whole window."""
    out = []
    w = 2 * math.pi * freq / rate
    for start in range(0, len(samples) - window + 1, window):
        i = q = 0.0
        for n in range(start, start + window):
            v = samples[n]
            i += v * math.cos(w * n)
            q += v * math.sin(w * n)
        out.append((2 * math.hypot(i, q) / window, math.atan2(q, i)))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('raw')
    ap.add_argument('--freq', type=float, default=1000.0)
    ap.add_argument('--window-ms', type=float, default=10.0)
    ap.add_argument('--rate', type=int, default=44100)
    a = ap.parse_args()

    left = read_left_channel(a.raw)
    span = sounding_span(left)
    if span is None:
        print('silent')
        return 1
    margin = int(0.05 * a.rate)
    body = left[span[0] + margin:span[1] - margin]
    window = int(round(a.window_ms * a.rate / 1000))
    windows = measure(body, a.rate, a.freq, window)
    if not windows:
        print('too short')
        return 1
    median = sorted(amp for amp, _ in windows)[len(windows) // 2]
    gap = [amp < median / 2 for amp, _ in windows]
    gap_windows = sum(gap)
    gap_events = sum(1 for k, g in enumerate(gap) if g and (k == 0 or not gap[k - 1]))
    # Only windows with full sound on both sides: a window that is partly
    # silent has a phase of its own.
    full = [amp > median * 0.9 for amp, _ in windows]
    jumps = 0
    for k in range(1, len(windows)):
        if full[k] and full[k - 1]:
            d = windows[k][1] - windows[k - 1][1]
            d = (d + math.pi) % (2 * math.pi) - math.pi
            if abs(d) > 0.2:
                jumps += 1
    seconds = (span[1] - span[0]) / a.rate
    print('sound %.3f s, %d windows: gap windows %d, gaps %d, phase jumps %d'
          % (seconds, len(windows), gap_windows, gap_events, jumps))
    return 0


if __name__ == '__main__':
    sys.exit(main())
