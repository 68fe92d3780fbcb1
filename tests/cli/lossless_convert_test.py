#!/usr/bin/env python3
"""convert where nothing asks for a change keeps every sample: PCM into PCM
as wide or wider, PCM and float into float, 16 into 16 bits with --pure,
the extremes of each width included; --peak is a plain gain, so a float
file hotter than full scale comes out at the level asked for without
clipping; NaN and infinite samples become silence, with a warning; and
24-bit or float output from render and convert has more than
the fixed-point chain's 20 bits, and says it was made in double precision.

usage: lossless_convert_test.py [EMULATOR] PATH/TO/zelvaro-render"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from render_interop_test import FLAG_FIXED, SINE, Checks, expect, tone_file  # noqa: E402

RENDER = os.path.abspath(sys.argv[-1])
EMULATOR = sys.argv[1] if len(sys.argv) > 2 and sys.argv[1] else None
if EMULATOR and os.sep in EMULATOR:
    EMULATOR = os.path.abspath(EMULATOR)

PCM, FLOAT = 1, 3


def run(*args):
    return subprocess.run(([EMULATOR] if EMULATOR else []) + [RENDER, *args], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True, timeout=300)


def write_wav(path, tag, channels, rate, bits, values):
    """A plain 16-byte fmt record and the samples: unsigned bytes for 8 bits,
    little-endian two's complement for 16 and 24, IEEE single for float."""
    width = bits // 8
    if tag == FLOAT:
        data = struct.pack('<%df' % len(values), *values)
    elif bits == 8:
        data = bytes(values)
    else:
        data = b''.join(struct.pack('<i', v)[:width] for v in values)
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * channels * width, channels * width, bits)
    with open(path, 'wb') as f:
        f.write(struct.pack('<4sI4s', b'RIFF', 4 + 8 + len(fmt) + 8 + len(data), b'WAVE'))
        f.write(struct.pack('<4sI', b'fmt ', len(fmt)) + fmt + struct.pack('<4sI', b'data', len(data)) + data)
    return path


def read_wav(path):
    """(tag, channels, rate, bits, samples): ints for PCM (8-bit as stored),
    floats for float; an extensible record reports its sub-format's tag."""
    data = open(path, 'rb').read()
    expect(data[:4] == b'RIFF' and data[8:12] == b'WAVE', path + ' is not a WAV file')
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        if cid == b'fmt ':
            fmt = struct.unpack_from('<HHIIHH', data, pos + 8)
            tag = fmt[0] if fmt[0] != 0xFFFE else struct.unpack_from('<H', data, pos + 8 + 24)[0]
        elif cid == b'data':
            body = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    _, channels, rate, _, _, bits = fmt
    width = bits // 8
    count = len(body) // width
    if tag == FLOAT:
        values = list(struct.unpack('<%df' % count, body))
    elif bits == 8:
        values = list(body)
    elif bits == 24:
        values = [int.from_bytes(body[i:i + 3], 'little', signed=True) for i in range(0, count * 3, 3)]
    else:
        values = list(struct.unpack('<%d%s' % (count, 'h' if bits == 16 else 'i'), body))
    return tag, channels, rate, bits, values


def to_float32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def noise(n, low, high, seed):
    """Deterministic values spread over [low, high]."""
    out, state = [], seed
    for _ in range(n):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2 ** 64
        out.append(low + (state >> 11) % (high - low + 1))
    return out


def quiet_sine_with(extreme, n=2000):
    """A -20 dBFS tone at 16 bits with one sample at `extreme` in its middle:
    the sample that once set the limiter to work on its neighbours."""
    values = [round(3277 * math.sin(2 * math.pi * 997 * i / 44100)) for i in range(n)]
    values[n // 2] = extreme
    return values


def first_difference(got, want):
    if len(got) != len(want):
        return 'length %d, not %d' % (len(got), len(want))
    for i, (a, b) in enumerate(zip(got, want)):
        if a != b:
            return 'sample %d is %r, not %r' % (i, a, b)
    return None


def main():
    tmp = tempfile.mkdtemp(prefix='zelvaro-lossless-')
    # Names relative to the work folder, which a program under wine takes as well.
    os.chdir(tmp)
    checks = Checks()
    ends16 = [-32768, 32767, -32767, 0, 1, -1]
    ends24 = [-8388608, 8388607, -8388607, 0, 1, -1]
    s16 = ends16 + noise(4000, -32768, 32767, 1) + quiet_sine_with(-32768) + quiet_sine_with(32767)
    s24 = ends24 + noise(4000, -8388608, 8388607, 2)
    u8 = [0, 255, 128, 1, 127] + noise(2000, 0, 255, 3)
    # Floats a 24-bit step cannot hold (a full 24-bit mantissa far below full
    # scale, tiny and subnormal values) and the ends of the range.
    f32 = [to_float32(x) for x in [1.0, -1.0, 0.0, 1e-30, -1.4e-45, 0.1, -0.7, 1.0 / 3, 2.0 ** -24 * 1.5]]
    f32 += [to_float32((v - 2 ** 31) / 2 ** 31 / 7) for v in noise(4000, 0, 2 ** 32 - 1, 4)]
    inputs = {
        'in16-mono.wav': (PCM, 1, 44100, 16, s16),
        'in16-stereo.wav': (PCM, 2, 48000, 16, s16[:8000]),
        'in24-stereo.wav': (PCM, 2, 96000, 24, s24),
        'in8-mono.wav': (PCM, 1, 8000, 8, u8),
        'float-stereo.wav': (FLOAT, 2, 44100, 32, f32[:len(f32) // 2 * 2]),
    }
    for name, spec in inputs.items():
        write_wav(name, *spec)

    # (input, options, output tag, output bits, the sample each input sample must become)
    rows = [
        ('in16-mono.wav', ['--pure'], PCM, 16, lambda v: v),
        ('in16-mono.wav', [], PCM, 16, lambda v: v),
        ('in16-mono.wav', ['--bits', '24'], PCM, 24, lambda v: v * 256),
        ('in16-stereo.wav', ['--bits', '24'], PCM, 24, lambda v: v * 256),
        ('in16-mono.wav', ['--float'], FLOAT, 32, lambda v: v / 32768),
        ('in16-mono.wav', ['--pure', '--bits', '32'], PCM, 32, lambda v: v * 65536),
        ('in24-stereo.wav', ['--bits', '24'], PCM, 24, lambda v: v),
        ('in24-stereo.wav', ['--pure', '--bits', '24'], PCM, 24, lambda v: v),
        ('in24-stereo.wav', ['--float'], FLOAT, 32, lambda v: v / 8388608),
        ('in24-stereo.wav', ['--pure', '--bits', '32'], PCM, 32, lambda v: v * 256),
        # The program's chain takes 8-bit samples at half its full scale: each
        # is still kept whole, 6 dB down; the double-precision path does not.
        ('in8-mono.wav', ['--bits', '16'], PCM, 16, lambda v: (v - 128) * 128),
        ('in8-mono.wav', ['--pure', '--bits', '16'], PCM, 16, lambda v: (v - 128) * 256),
        ('in8-mono.wav', ['--bits', '24'], PCM, 24, lambda v: (v - 128) * 65536),
        ('in8-mono.wav', ['--float'], FLOAT, 32, lambda v: (v - 128) / 128),
        ('float-stereo.wav', ['--float'], FLOAT, 32, lambda v: v),
        ('float-stereo.wav', ['--pure', '--float'], FLOAT, 32, lambda v: v),
    ]

    def lossless_conversions_keep_every_sample():
        failed = []
        for name, options, tag, bits, map_sample in rows:
            label = '%s %s' % (name, ' '.join(options))
            r = run('convert', name, 'out.wav', *options)
            if r.returncode != 0:
                failed.append('%s: exit %d: %s' % (label, r.returncode, r.stderr.strip()))
                continue
            in_tag, channels, rate, _, values = inputs[name]
            got = read_wav('out.wav')
            if got[:4] != (tag, channels, rate, bits):
                failed.append('%s: header %r' % (label, got[:4]))
                continue
            difference = first_difference(got[4], [map_sample(v) for v in values])
            if difference:
                failed.append('%s: %s' % (label, difference))
        expect(not failed, '; '.join(failed))
    checks.case('lossless conversions keep every sample, the extremes of each width included',
                lossless_conversions_keep_every_sample)

    def peak_is_a_gain_before_any_limit():
        # A 997 Hz sine at +6 dBFS (amplitude 2.0), stored as float.
        hot = [to_float32(2.0 * math.sin(2 * math.pi * 997 * i / 48000)) for i in range(9600)]
        write_wav('hot.wav', FLOAT, 1, 48000, 32, hot)
        peak_in = max(abs(v) for v in hot)
        for options, bits in ((['--float'], None), (['--bits', '24'], 24), ([], 16), (['--pure'], 16)):
            r = run('convert', 'hot.wav', 'level.wav', '--peak', '-6', *options)
            expect(r.returncode == 0, '%s: %s' % (options, r.stderr))
            values = read_wav('level.wav')[4]
            scale = 1.0 if bits is None else 2.0 ** (bits - 1)
            gain = 10 ** (-6 / 20) / peak_in
            # Every sample is the input's times one gain, to the output's step:
            # nothing was clipped or limited first.
            worst = max(abs(v / scale - x * gain) for v, x in zip(values, hot))
            step = 1e-7 if bits is None else 0.5 / scale
            expect(len(values) == len(hot) and worst <= step * 1.0001,
                   '--peak -6 %s: a sample is %.3g from the input times the gain' % (options, worst))
            level = 20 * math.log10(max(abs(v) for v in values) / scale)
            expect(abs(level + 6) < 0.001, '--peak -6 %s: the peak is at %.4f dBFS' % (options, level))
    checks.case('--peak scales a float file hotter than full scale without clipping', peak_is_a_gain_before_any_limit)

    def float_output_stays_finite_past_floats_range():
        # The rate converter overshoots a square wave at float's largest value.
        top = 3.4028234663852886e38
        write_wav('edge.wav', FLOAT, 1, 48000, 32, [top if (i // 24) % 2 else -top for i in range(4800)])
        r = run('convert', 'edge.wav', 'held.wav', '--float', '--rate', '44100')
        expect(r.returncode == 0, r.stderr)
        values = read_wav('held.wav')[4]
        expect(values and all(math.isfinite(v) for v in values), 'infinite samples written')
    checks.case('float output is held within float range, never infinite', float_output_stays_finite_past_floats_range)

    def non_finite_samples_are_silence_and_said():
        write_wav('nan.wav', FLOAT, 1, 44100, 32, [float('nan'), float('inf'), -float('inf'), 0.5] * 50)
        r = run('convert', 'nan.wav', 'out.wav', '--float')
        expect(r.returncode == 0, r.stderr)
        expect(read_wav('out.wav')[4] == [0.0, 0.0, 0.0, 0.5] * 50, 'the finite samples are not kept, or the rest not silent')
        expect('150 samples of nan.wav are not finite' in r.stderr, 'no warning: ' + r.stderr)
    checks.case('NaN and infinite samples are written as silence, with a warning', non_finite_samples_are_silence_and_said)

    def wide_output_is_made_in_double_precision():
        # The fixed-point chain's samples are multiples of 16 at 24 bits.
        sine = tone_file('sine.tdf', FLAG_FIXED, SINE, 200, [997.0])
        write_wav('sine16.wav', PCM, 1, 44100, 16, quiet_sine_with(0))
        for command, source, options in (('render', sine, ['--bits', '24']),
                                         ('convert', 'sine16.wav', ['--bits', '24', '--rate', '48000'])):
            r = run(command, source, 'wide.wav', *options)
            expect(r.returncode == 0, r.stderr)
            values = read_wav('wide.wav')[4]
            fine = sum(1 for v in values if v % 16)
            expect(fine > len(values) // 2, '%s %s: %d of %d samples have more than 20 bits'
                   % (command, ' '.join(options), fine, len(values)))
            expect('24-bit, double precision' in r.stderr, '%s does not say how it was made: %s' % (command, r.stderr))
        r = run('render', sine, 'narrow.wav')
        expect(r.returncode == 0 and 'double precision' not in r.stderr, 'the default 16-bit render: ' + r.stderr)
    checks.case('24-bit output has more than the chain\'s 20 bits and says how it was made',
                wide_output_is_made_in_double_precision)

    os.chdir('/')
    shutil.rmtree(tmp, ignore_errors=True)
    print('%d passed, %d failed' % (checks.passed, checks.failed))
    sys.exit(1 if checks.failed else 0)


if __name__ == '__main__':
    main()
