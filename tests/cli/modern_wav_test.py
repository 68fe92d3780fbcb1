#!/usr/bin/env python3
"""zelvaro-render on WAV files as today's tools write them: floating-point
samples (tag 3), 24-bit PCM, and the extensible record (tag 0xFFFE) with PCM
and float sub-formats. Each converts to 16 bits within one step of what sox
makes of it (sox -D: no dither), and info counts its frames.

usage: modern_wav_test.py PATH/TO/zelvaro-render    (exits 77 without sox)"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

RENDER = os.path.abspath(sys.argv[1])
GUID_TAIL = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])


def run(*args):
    return subprocess.run([RENDER, *args], capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=120)


def pluck(n, channels):
    """A decaying plucked-string-like test signal, -1 to 1, interleaved."""
    out = []
    for i in range(n):
        env = math.exp(-i / (n / 4))
        for c in range(channels):
            out.append(env * (0.7 * math.sin(2 * math.pi * 220 * (c + 1) * i / 44100) +
                              0.29 * math.sin(2 * math.pi * 1375 * i / 44100 + c)))
    return out


def pcm_bytes(values, bits, valid=None, junk=True):
    """Little-endian PCM of `bits` (8 unsigned) with `valid` bits of sample at
    the top; with `junk`, the bits below them are set to 1: readers must
    ignore them."""
    valid = valid or bits
    top = (1 << (valid - 1)) - 1
    out = bytearray()
    for v in values:
        s = max(-top - 1, min(top, round(v * top))) << (bits - valid)
        if junk:
            s |= (1 << (bits - valid)) - 1
        if bits == 8:
            out.append((s + 128) & 0xFF)
        else:
            out += (s & ((1 << bits) - 1)).to_bytes(bits // 8, 'little')
    return bytes(out)


def write_extensible(path, values, channels, bits, valid, sub_tag, plain=False):
    """An extensible file (valid bits, channel mask, sub-format GUID); with
    `plain`, its twin with the plain record of the sub-format's tag and no
    junk below the valid bits, which sox reads whatever the valid bits."""
    if sub_tag == 1:
        data = pcm_bytes(values, bits, valid, junk=not plain)
    else:
        data = struct.pack('<%d%s' % (len(values), 'f' if bits == 32 else 'd'), *values)
    align = channels * bits // 8
    if plain:
        fmt = struct.pack('<HHIIHHH', sub_tag, channels, 44100, align * 44100, align, bits, 0)
    else:
        fmt = struct.pack('<HHIIHHHHI', 0xFFFE, channels, 44100, align * 44100, align, bits, 22, valid,
                          4 if channels == 1 else 3) + struct.pack('<H', sub_tag) + GUID_TAIL
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


def fmt_channels(path):
    """The channel count of a WAV file's format chunk."""
    data = open(path, 'rb').read()
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if tag == b'fmt ':
            return struct.unpack('<H', data[at + 10:at + 12])[0]
        at += 8 + size + (size & 1)
    raise ValueError(path + ' has no format chunk')


def samples16(path):
    with wave.open(path) as w:
        assert w.getsampwidth() == 2, path
        raw = w.readframes(w.getnframes())
        return w.getnchannels(), list(struct.unpack('<%dh' % (len(raw) // 2), raw))


def main():
    if shutil.which('sox') is None:
        print('SKIP: no sox')
        return 77
    tmp = tempfile.mkdtemp()
    failures = []
    frames = 6000
    cases = []  # (name, path, channels, file sox reads for reference, scale of ours to sox's)

    # What CPython's own test files are: the wave module's PCM of 1 to 4
    # bytes, and a 24-bit extensible file.
    for width in (1, 2, 3, 4):
        path = os.path.join(tmp, 'pluck-pcm%d.wav' % (8 * width))
        with wave.open(path, 'wb') as w:
            w.setnchannels(2)
            w.setsampwidth(width)
            w.setframerate(44100)
            w.writeframes(pcm_bytes(pluck(frames, 2), 8 * width))
        # Our 8-bit scale is 2048 per step, half of the 16-bit full scale, where
        # sox takes 8-bit full scale as 16-bit full scale.
        cases.append((os.path.basename(path), path, 2, path, 0.5 if width == 1 else 1))
    for name, channels, bits, valid, sub_tag in (('pluck-pcm24-ext', 2, 24, 24, 1), ('pcm20-in-24-ext', 1, 24, 20, 1),
                                                 ('pcm24-in-32-ext', 2, 32, 24, 1), ('float32-ext', 2, 32, 32, 3),
                                                 ('float64-ext', 1, 64, 64, 3)):
        path = os.path.join(tmp, name + '.wav')
        twin = os.path.join(tmp, name + '-plain.wav')
        write_extensible(path, pluck(frames, channels), channels, bits, valid, sub_tag)
        write_extensible(twin, pluck(frames, channels), channels, bits, valid, sub_tag, plain=True)
        cases.append((name, path, channels, twin, 1))
    # CPython's own test files, where the Python running this has them
    # (its test package; the extensible one came with Python 3.12).
    try:
        import test
        audiodata = os.path.join(os.path.dirname(test.__file__), 'audiodata')
    except ImportError:
        audiodata = None
    for name in ('pluck-pcm8', 'pluck-pcm16', 'pluck-pcm24', 'pluck-pcm32', 'pluck-pcm24-ext'):
        path = os.path.join(audiodata, name + '.wav') if audiodata else ''
        if not os.path.exists(path):
            print('%-18s not in this Python\'s test data' % ('cpython-' + name))
            continue
        cases.append(('cpython-' + name, path, fmt_channels(path), path, 0.5 if name == 'pluck-pcm8' else 1))
    # Files sox writes with floating-point and 24-bit samples.
    for name, args, channels in (('sox-float32', ['-e', 'floating-point', '-b', '32'], 1),
                                 ('sox-float64', ['-e', 'floating-point', '-b', '64'], 2),
                                 ('sox-signed24', ['-e', 'signed', '-b', '24'], 2)):
        path = os.path.join(tmp, name + '.wav')
        subprocess.run(['sox', '-D', '-n', '-r', '44100', *args, '-c', str(channels), path, 'synth', '0.2',
                        'sine', '300', 'sine', '2000', 'vol', '0.9'], check=True, capture_output=True)
        cases.append((name, path, channels, path, 1))

    for name, path, channels, reference, scale in cases:
        ours = os.path.join(tmp, name + '-ours.wav')
        ref = os.path.join(tmp, name + '-sox.wav')
        r = run('convert', path, ours, '--bits', '16')
        if r.returncode != 0:
            failures.append('%s: convert exit %d: %s' % (name, r.returncode, r.stderr.strip()))
            continue
        subprocess.run(['sox', '-D', reference, '-b', '16', '-e', 'signed', ref], check=True, capture_output=True)
        got_channels, got = samples16(ours)
        _, want = samples16(ref)
        want = [math.floor(w * scale + 0.5) for w in want]
        if got_channels != channels or len(got) != len(want):
            failures.append('%s: %d channels, %d samples; sox: %d samples' % (name, got_channels, len(got), len(want)))
            continue
        worst = max(abs(a - b) for a, b in zip(got, want))
        if worst > 1:
            failures.append('%s: differs from sox by %d steps' % (name, worst))
        info = run('info', path)
        want_frames = len(want) // channels
        if 'length:          %d frames' % want_frames not in info.stdout:
            failures.append('%s: info does not say %d frames:\n%s' % (name, want_frames, info.stdout))
        print('%-18s %5d frames, %d channel(s): within %d step(s) of sox' % (name, want_frames, channels, worst))

    # Refused clearly, as today: a width no reader takes, and a channel count
    # the adapters cannot bring to the output's.
    write_extensible(os.path.join(tmp, 'float16.wav'), [0.0] * 8, 1, 16, 16, 3)
    r = run('convert', os.path.join(tmp, 'float16.wav'), os.path.join(tmp, 'f16-out.wav'))
    if r.returncode == 0 or 'floating-point' not in r.stderr or os.path.exists(os.path.join(tmp, 'f16-out.wav')):
        failures.append('16-bit float: exit %d, %r' % (r.returncode, r.stderr))
    write_extensible(os.path.join(tmp, 'three.wav'), pluck(100, 3), 3, 24, 24, 1)
    r = run('convert', os.path.join(tmp, 'three.wav'), os.path.join(tmp, 'three-out.wav'), '--channels', '2')
    if r.returncode == 0 or '3 channels' not in r.stderr:
        failures.append('3 channels to 2: exit %d, %r' % (r.returncode, r.stderr))

    shutil.rmtree(tmp)
    for f in failures:
        print('FAIL:', f)
    print('%d passed, %d failed' % (len(cases) + 2 - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
