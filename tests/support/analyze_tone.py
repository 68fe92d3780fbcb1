#!/usr/bin/env python3
"""Checks a recording (raw s16le stereo, 44100 Hz) for a steady tone.

analyze_tone.py REC.raw --freq HZ [--tolerance 0.01] [--peak P --level-tolerance-db DB]
                        [--min-seconds S]

Finds the stretch where the signal is present, measures its frequency by
interpolated zero crossings of the left channel and its peak from the RMS of
a steady middle part (peak = RMS * sqrt(2) for a sine), and prints them.
Exit 0 when they match, 1 otherwise.
"""
import argparse, math, sys

from recording import read_left_channel, sounding_span, zero_crossing_frequency

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("raw")
    ap.add_argument("--freq", type=float, required=True)
    ap.add_argument("--tolerance", type=float, default=0.01)
    ap.add_argument("--peak", type=float)
    ap.add_argument("--level-tolerance-db", type=float, default=1.0)
    ap.add_argument("--min-seconds", type=float, default=0.3)
    ap.add_argument("--rate", type=int, default=44100)
    a = ap.parse_args()

    left = read_left_channel(a.raw)
    span = sounding_span(left)
    if span is None:
        print("FAIL: the recording is silent (%d frames)" % len(left))
        return 1
    first, last = span
    seconds = (last - first) / a.rate
    # Skip the edges, where device start-up and fades live.
    margin = int(0.05 * a.rate)
    body = left[first + margin:last - margin]
    if len(body) < a.rate * 0.1:
        print("FAIL: only %.3f s of signal" % seconds)
        return 1
    freq = zero_crossing_frequency(body, a.rate)
    if freq == 0.0:
        print("FAIL: no periodic signal")
        return 1
    rms = math.sqrt(sum(v * v for v in body) / len(body))
    peak = rms * math.sqrt(2.0)
    print("signal %.3f s, frequency %.2f Hz, sine peak %.0f (rms %.0f)" % (seconds, freq, peak, rms))
    ok = True
    if seconds < a.min_seconds:
        print("FAIL: signal shorter than %.3f s" % a.min_seconds); ok = False
    if abs(freq - a.freq) > a.freq * a.tolerance:
        print("FAIL: expected %.2f Hz +- %.1f %%" % (a.freq, a.tolerance * 100)); ok = False
    if a.peak is not None:
        db = 20 * math.log10(peak / a.peak)
        if abs(db) > a.level_tolerance_db:
            print("FAIL: level %.2f dB from the expected peak %.0f" % (db, a.peak)); ok = False
    return 0 if ok else 1

sys.exit(main())
