#!/usr/bin/env python3
"""zelvaro-render sweep, deconvolve and (under wine, with a sound server)
measure, as a user runs them: the files they write, read back by Python and
by sox, and the figures they print, on signals whose answer is known.

usage: impulse_cli_test.py EMULATOR|"" zelvaro-render [--measure]
With --measure only the loopback through the sound server is measured
(Windows build; exits 77 without a sound server)."""

import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

EMULATOR, RENDER = sys.argv[1], os.path.abspath(sys.argv[2])
MEASURE = '--measure' in sys.argv[3:]
failures = []


def check(ok, what):
    print(('ok      ' if ok else 'FAILED  ') + what)
    if not ok:
        failures.append(what)
    return ok


def run(*args):
    cmd = ([EMULATOR] if EMULATOR else []) + [RENDER, *args]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, stdin=subprocess.DEVNULL,
                       timeout=300)
    return r.returncode, r.stdout, '\n'.join(l for l in r.stderr.splitlines() if 'fixme' not in l)


def read_float_wav(path):
    """(rate, channels, samples of the first channel, chunk ids) of a float WAV file, read by hand."""
    data = open(path, 'rb').read()
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', path
    at, chunks, fmt, samples = 12, [], None, None
    while at + 8 <= len(data):
        cid, size = data[at:at + 4], struct.unpack_from('<I', data, at + 4)[0]
        chunks.append((cid.decode('latin-1'), size))
        body = data[at + 8:at + 8 + size]
        if cid == b'fmt ':
            fmt = struct.unpack_from('<HHIIHH', body)
        elif cid == b'data':
            samples = body
        at += 8 + size + (size & 1)
    tag, channels, rate, _, align, bits = fmt
    assert tag == 3 and bits == 32, fmt
    values = struct.unpack('<%df' % (len(samples) // 4), samples)
    return rate, channels, list(values[0::channels]), chunks


def write_float_wav(path, rate, samples):
    body = struct.pack('<%df' % len(samples), *samples)
    fmt = struct.pack('<HHIIHHH', 3, 1, rate, rate * 4, 4, 32, 0)
    chunks = b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(body)) + body
    open(path, 'wb').write(b'RIFF' + struct.pack('<I', 4 + len(chunks)) + b'WAVE' + chunks)


def response_rows(path):
    lines = open(path).read().splitlines()
    return lines[0], [tuple(float(v) for v in line.split(',')) for line in lines[1:]]


def band_flatness(csv, low, high):
    header, rows = response_rows(csv)
    levels = [row[1] for row in rows if low <= row[0] <= high]
    return min(levels), max(levels), len(levels)


def signals():
    # A 2 s sweep at full scale; its first sample is an exact 0.
    code, out, err = run('sweep', 'sweep.wav', '--from', '20', '--to', '20000', '--seconds', '2', '--peak', '0',
                         '--fade', '30', '--inverse', 'inverse.wav')
    check(code == 0, 'sweep writes its file and its inverse (%s)' % err)
    rate, channels, x, chunks = read_float_wav('sweep.wav')
    ids = [c for c, _ in chunks]
    check((rate, channels) == (44100, 1) and ids[:2] == ['fmt ', 'fact'] and 'data' in ids,
          'the sweep is mono 32-bit float at 44100 Hz with fmt and fact chunks: %r' % chunks)
    check(x[0] == 0.0 and abs(max(map(abs, x)) - 1.0) < 0.001, 'the sweep starts on 0 and peaks at 0 dBFS')
    if shutil.which('sox'):
        info = subprocess.run(['sox', '--i', 'sweep.wav'], stdout=subprocess.PIPE, text=True).stdout
        check('32-bit Floating Point PCM' in info and '44100' in info, 'sox reads the sweep as float: %s' % info)
    _, _, inverse, _ = read_float_wav('inverse.wav')
    check(len(inverse) > len(x), 'the inverse filter is written')

    # The sweep itself deconvolves into a flat unit response.
    code, out, err = run('deconvolve', 'sweep.wav', '--sweep', 'sweep.wav', 'ir.wav')
    check(code == 0 and 'delay 0 frames' in out, 'the sweep itself: delay 0 (%s%s)' % (out, err))
    low, high, count = band_flatness('ir.csv', 20 * math.sqrt(2), 20000 / 2 ** (1 / 6))
    check(count > 200 and -0.3 < low and high < 0.3, 'the sweep itself is flat within 0.3 dB: %.3f to %.3f' % (low, high))
    svg = ElementTree.parse('ir.svg').getroot()
    texts = [t.text for t in svg.iter('{http://www.w3.org/2000/svg}text')]
    check('Frequency (Hz)' in texts and '1k' in texts and 'Level (dB)' in texts, 'the plot has labelled axes: %r' % texts)

    # Through y = x + 0.01 x², 1234 frames late: the delay, and the second
    # harmonic 20·log10(0.005) = -46.0 dB down.
    write_float_wav('bent.wav', 44100, [0.0] * 1234 + [v + 0.01 * v * v for v in x] + [0.0] * 4410)
    code, out, err = run('deconvolve', 'bent.wav', '--sweep', 'sweep.wav', 'bent-ir.wav', '--harmonics', '3')
    check(code == 0 and 'delay 1234 frames' in out, 'a known delay is reported (%s%s)' % (out, err))
    level = re.search(r'harmonic 2: (-?[\d.]+) dB', out)
    check(level is not None and abs(float(level.group(1)) + 46.02) < 0.5, 'the second harmonic at -46 dB: %s' % out)
    check(os.path.exists('bent-ir-h2.wav') and os.path.exists('bent-ir-h3.wav'), 'the harmonics are written beside')

    # What cannot be deconvolved is refused, and nothing is written.
    write_float_wav('plain.wav', 44100, x)
    write_float_wav('other-rate.wav', 48000, x)
    for args, want, text in [
        (['deconvolve', 'sweep.wav', '--sweep', 'plain.wav', 'no.wav'], 1, 'does not name the sweep'),
        (['deconvolve', 'other-rate.wav', '--sweep', 'sweep.wav', 'no.wav'], 2, 'is not the sweep'),
        (['deconvolve', 'missing.wav', '--sweep', 'sweep.wav', 'no.wav'], 1, 'cannot open'),
        (['sweep', 'no.wav', '--from', '20', '--to', '30000', '--seconds', '1'], 2, 'below half the rate'),
        (['sweep', 'no.wav', '--from', '20', '--to', '2000', '--seconds', 'x'], 2, '--seconds must be a number'),
        (['sweep', 'no.wav', '--to', '2000', '--seconds', '1'], 2, '--from is required'),
    ]:
        code, out, err = run(*args)
        check(code == want and text in err and not os.path.exists('no.wav'),
              '%s %s refused with %d: %s' % (args[0], args[1], want, err.strip()))


def loopback():
    if not os.environ.get('PULSE_SERVER'):
        print('skipped: no sound server')
        sys.exit(77)
    # The loop in each of measure's sample formats: 16 bits as always, 24 bits
    # and float as the extensible record opens them.
    for name, options in [('16-bit', []), ('24-bit', ['--bits', '24']), ('float', ['--float'])]:
        # One run each: a dropout of the sound path is not measured again but
        # named by measure itself, so a failure here says which it was.
        code, out, err = run('measure', 'loop.wav', '--from', '50', '--to', '16000', '--seconds', '3', *options)
        print(out + err)
        delay = re.search(r'delay (-?\d+) frames \((-?[\d.]+) ms\)(.*)', out)
        if not check(code == 0 and delay is not None, '%s: measure ran (%d)' % (name, code)):
            continue
        check('gaps in the recording' not in out, '%s: the recording has no gaps: %s' % (name, err.strip()))
        low, high, _ = band_flatness('loop.csv', 50 * math.sqrt(2), 16000 / 2 ** (1 / 6))
        check(-0.5 < low and high < 0.5, '%s: the loop through the null sink measures flat within 0.5 dB: %.3f to %.3f'
              % (name, low, high))
        # The devices' positions are all measure has to time the loop by; a
        # delay they make negative is marked, never printed as the loop's.
        frames = int(delay.group(1))
        check(0 <= frames < 44100 or (frames < 0 and 'arrived before it was played' in delay.group(3)),
              '%s: a delay of %d frames, marked if negative: %s' % (name, frames, delay.group(0)))
    code, out, err = run('measure', 'loop.wav', '--from', '50', '--to', '16000', '--seconds', '3',
                         '--bits', '24', '--float')
    check(code == 2 and '--bits and --float' in err and not os.path.exists('loop.csv.new'),
          '--bits with --float refused: %d %s' % (code, err.strip()))


def main():
    os.chdir(tempfile.mkdtemp(prefix='zelvaro-impulse-'))
    loopback() if MEASURE else signals()
    sys.exit(1 if failures else 0)


main()
