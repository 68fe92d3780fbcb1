#!/usr/bin/env python3
"""Turns a recording of the sink's monitor (raw float32le stereo) into a
float WAV file of its steady part, for `zelvaro-render analyze`.

float_recording.py REC.raw RATE OUT.wav [--seconds S]

The steady part starts 0.25 s after the first sample above -60 dBFS and ends
0.25 s before the last (the edges hold the device's start and stop), and is
at most S seconds long (default 2). Exit 1, saying why, when the recording
is silent or too short.
"""
import argparse, array, struct, sys

EDGE_SECONDS = 0.25
THRESHOLD = 0.001  # -60 dBFS


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("raw")
    ap.add_argument("rate", type=int)
    ap.add_argument("out")
    ap.add_argument("--seconds", type=float, default=2.0)
    a = ap.parse_args()
    samples = array.array('f')
    with open(a.raw, 'rb') as f:
        data = f.read()
    samples.frombytes(data[: len(data) // 8 * 8])
    if sys.byteorder != 'little':
        samples.byteswap()
    left = samples[0::2]
    loud = [i for i, v in enumerate(left) if abs(v) > THRESHOLD]
    if not loud:
        print("FAIL: the recording is silent (%d frames)" % len(left))
        return 1
    edge = int(EDGE_SECONDS * a.rate)
    first, last = loud[0] + edge, loud[-1] - edge
    last = min(last, first + int(a.seconds * a.rate))
    if last - first < a.rate // 2:
        print("FAIL: only %.3f s of steady signal" % ((last - first) / a.rate))
        return 1
    body = samples[2 * first:2 * last]
    data = body.tobytes()
    frames = last - first
    print("steady part: %.3f s of %.3f s recorded" % (frames / a.rate, len(left) / a.rate))
    header = (b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVE'
              + b'fmt ' + struct.pack('<IHHIIHH', 16, 3, 2, a.rate, a.rate * 8, 8, 32)
              + b'data' + struct.pack('<I', len(data)))
    with open(a.out, 'wb') as f:
        f.write(header + data)
    return 0


sys.exit(main())
