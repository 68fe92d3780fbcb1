#!/usr/bin/env python3
"""Checks what the main window played: the recording's sounding stretch cut
into equal parts, each with its own frequency.

main_window_sound_check.py REC.raw --freqs F1 [F2 ...] [--seconds LOW HIGH]

REC.raw is s16le stereo at 44,100 Hz. Each part's middle half is measured by
interpolated zero crossings of the left channel, as the median over 0.1 s windows. --seconds bounds the length
of the sounding stretch. Exit 0 when everything matches.
"""
import argparse, array, sys

RATE = 44100


def frequency(samples):
    crossings = []
    for i in range(1, len(samples)):
        x0, x1 = samples[i - 1], samples[i]
        if x0 < 0 <= x1 and x1 != x0:
            crossings.append(i - 1 + (-x0) / (x1 - x0))
    if len(crossings) < 3:
        return 0.0
    return (len(crossings) - 1) * RATE / (crossings[-1] - crossings[0])


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
    data = array.array("h")
    with open(a.raw, "rb") as f:
        data.frombytes(f.read())
    if sys.byteorder != "little":
        data.byteswap()
    left = data[0::2]
    active = [i for i, v in enumerate(left) if abs(v) > 200]
    if not active:
        print("FAIL: the recording is silent")
        return 1
    first, last = active[0], active[-1]
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
