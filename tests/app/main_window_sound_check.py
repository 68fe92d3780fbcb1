#!/usr/bin/env python3
"""Checks what the main window played: the recording's sounding stretch cut
into equal parts, each with its own frequency.

main_window_sound_check.py REC.raw --freqs F1 [F2 ...] [--seconds LOW HIGH]

REC.raw is s16le stereo at 44,100 Hz. Each part's middle half is measured by
interpolated zero crossings of the left channel, as the median over 0.1 s windows. --seconds bounds the length
of the sounding stretch. Exit 0 when everything matches.
"""
import argparse, os, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from recording import read_left_channel, sounding_span, zero_crossing_frequency  # noqa: E402

RATE = 44100


def frequency(samples):
    return zero_crossing_frequency(samples, RATE)


def median_frequency(samples):
    # Over windows of 0.1 s, so that a dropout spoils only a few of them.
    step = RATE // 10
    measured = sorted(frequency(samples[i:i + step]) for i in range(0, len(samples) - step + 1, step))
    return measured[len(measured) // 2] if measured else frequency(samples)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("raw")
    ap.add_argument("--freqs", type=float, nargs="+", required=True)
    ap.add_argument("--tolerance", type=float, default=0.005)
    ap.add_argument("--seconds", type=float, nargs=2)
    a = ap.parse_args()
    left = read_left_channel(a.raw)
    span = sounding_span(left)
    if span is None:
        print("FAIL: the recording is silent")
        return 1
    first, last = span
    seconds = (last - first) / RATE
    print("signal %.3f s" % seconds)
    ok = True
    if a.seconds and not a.seconds[0] <= seconds <= a.seconds[1]:
        print("FAIL: expected %.2f to %.2f s of signal" % tuple(a.seconds))
        ok = False
    part = (last - first) // len(a.freqs)
    for n, expected in enumerate(a.freqs):
        start = first + n * part
        body = left[start + part // 4:start + 3 * part // 4]
        measured = median_frequency(body)
        print("part %d: %.2f Hz (expected %.2f Hz)" % (n + 1, measured, expected))
        if abs(measured - expected) > expected * a.tolerance:
            print("FAIL: part %d is off" % (n + 1))
            ok = False
    return 0 if ok else 1


sys.exit(main())
