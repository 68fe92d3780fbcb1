#!/usr/bin/env python3
"""zelvaro-render analyze and info on files a hostile user would give them:
each must end in a right figure or a clear refusal with a non-zero exit,
never a crash, a hang, a sanitizer report or a figure printed as if measured.
Long files are sparse (a header that claims what the file holds, zeros that
take no disk), so the table stays small and fast.

usage: analyze_hostile_test.py EMULATOR|"" zelvaro-render"""

import math
import os
import random
import re
import resource
import shutil
import struct
import subprocess
import sys
import tempfile

EMULATOR, RENDER = sys.argv[1], os.path.abspath(sys.argv[2])
failures = []


def check(ok, what):
    print(('ok      ' if ok else 'FAILED  ') + what)
    if not ok:
        failures.append(what)


def sanitized():
    with open(RENDER, 'rb') as f:
        return b'__asan_init' in f.read()


def run(args, memory_limit=None):
    cmd = ([EMULATOR] if EMULATOR else []) + [RENDER, *args]

    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (memory_limit, memory_limit))

    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, stdin=subprocess.DEVNULL,
                       timeout=300, preexec_fn=limit if memory_limit else None)
    return r.returncode, r.stdout, '\n'.join(l for l in r.stderr.splitlines() if 'fixme' not in l)


def wav(path, rate, channels, samples, bits=16, fmt_tag=1, data_size=None, file_size=None, before_data=b''):
    """A WAV file of interleaved `samples` (full scale 1.0); data_size is the
    size the header claims (default: the real one) and file_size a length to
    cut or extend the file to (extended sparsely with zeros)."""
    if fmt_tag == 3:
        body = struct.pack('<%df' % len(samples), *samples) if bits == 32 else struct.pack('<%dd' % len(samples), *samples)
    elif bits == 8:
        body = bytes(max(0, min(255, round(v * 128) + 128)) for v in samples)
    else:
        body = struct.pack('<%dh' % len(samples), *(max(-32768, min(32767, round(v * 32767))) for v in samples))
    align = channels * bits // 8
    fmt = struct.pack('<HHIIHH', fmt_tag, channels, rate, (rate * align) & 0xFFFFFFFF, align, bits)
    claimed = len(body) if data_size is None else data_size
    head = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + before_data + b'data' + struct.pack('<I', claimed)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', min(0xFFFFFFFF, 4 + len(head) - 4 + claimed)) + head + body)
        if file_size is not None:
            f.truncate(file_size)


def sine(hz, rate, frames, amplitude=0.5, spur=None):
    x = [amplitude * math.sin(2 * math.pi * hz * n / rate + 0.3) for n in range(frames)]
    if spur:
        spur_hz, spur_db = spur
        a = amplitude * 10 ** (spur_db / 20)
        x = [v + a * math.sin(2 * math.pi * spur_hz * n / rate) for n, v in enumerate(x)]
    return x


def interleave(*channels):
    return [v for frame in zip(*channels) for v in frame]


def make_fixtures():
    noise = random.Random(1)
    wav('silence.wav', 8000, 1, [0.0] * 8000)
    wav('dc.wav', 8000, 1, [0.25] * 8000)
    wav('noise.wav', 8000, 1, [noise.uniform(-0.5, 0.5) for _ in range(8000)])
    wav('short-tone.wav', 48000, 1, sine(1000, 48000, 64))
    wav('tiny.wav', 48000, 1, sine(1000, 48000, 20))
    wav('near-nyquist.wav', 48000, 1, sine(23999.5, 48000, 48000))
    wav('near-zero.wav', 8000, 1, sine(3, 8000, 8000))
    wav('tone.wav', 8000, 1, sine(1000, 8000, 8000))
    wav('rate-8.wav', 8, 1, sine(1, 8, 800))
    wav('rate-huge.wav', 0x90000000, 1, sine(1000, 48000, 4800))
    wav('spur.wav', 8000, 1, sine(1000, 8000, 8000, spur=(1006, -60)), bits=32, fmt_tag=3)
    wav('prime.wav', 48000, 1, sine(1000, 48000, 100003))
    wav('odd.wav', 44100, 1, sine(997, 44100, 44101))
    wav('stereo-one-silent.wav', 8000, 2, interleave(sine(1000, 8000, 8000), [0.0] * 8000))
    # The header claims 2 GiB of data; the file holds one second.
    wav('claims-too-much.wav', 8000, 1, sine(1000, 8000, 8000), data_size=0x7FFFFFF0)
    # The header claims one second; the file was cut after half of it.
    wav('truncated.wav', 8000, 1, sine(1000, 8000, 8000), file_size=44 + 8000)
    # 65,535 channels of 8 bits: two frames of 64 KiB each.
    wav('65535-channels.wav', 8000, 65535, [0.0] * 65535 * 2, bits=8)
    x = sine(1000, 8000, 8000)
    x[4000] = float('nan')
    x[4001] = float('inf')
    wav('nan.wav', 8000, 1, x, bits=32, fmt_tag=3)
    # A chunk before the data that claims nearly 4 GiB: the data is not found.
    wav('chunk-past-4-gib.wav', 8000, 1, sine(1000, 8000, 800), before_data=b'junk' + struct.pack('<I', 0xFFFFFFF0))
    # 3,000,000,000 frames of 8 bits, sparse.
    wav('3e9-frames.wav', 8000, 1, [], bits=8, data_size=3_000_000_000, file_size=44 + 3_000_000_000)
    # Two hours at 8 kHz: a tone for the first 61 s, then sparse zeros.
    wav('two-hours.wav', 8000, 1, sine(1000, 8000, 61 * 8000), data_size=2 * 2 * 3600 * 8000,
        file_size=44 + 2 * 2 * 3600 * 8000)


# (name, arguments, exit code, pattern the output must hold)
CASES = [
    ('a rate of 8 Hz: no bin in the band', ['analyze', 'rate-8.wav'], 2, r'no frequency lies within the THD\+N band'),
    ('a rate past 2^31 Hz', ['analyze', 'rate-huge.wav'], 1, r'rate of 2415919104 frames per second is beyond'),
    ('silence', ['analyze', 'silence.wav'], 2, r'no tone found'),
    ('DC', ['analyze', 'dc.wav'], 2, r'no tone found'),
    ('noise', ['analyze', 'noise.wav'], 2, r'no tone found'),
    ('a 64-frame tone', ['analyze', 'short-tone.wav'], 2, r'too few cycles'),
    ('a 20-frame file', ['analyze', 'tiny.wav'], 1, r'it has 20 frames; a sine fit needs 64'),
    ('a tone at 23999.5 Hz at 48 kHz', ['analyze', 'near-nyquist.wav'], 2, r'too near the Nyquist frequency'),
    ('a tone at 3 Hz over 1 s', ['analyze', 'near-zero.wav'], 2, r'too few cycles'),
    ('--freq above Nyquist', ['analyze', 'tone.wav', '--freq', '4001'], 2, r'below 4000 Hz'),
    ('--freq 0', ['analyze', 'tone.wav', '--freq', '0'], 2, r'must be above 0 Hz'),
    ('--freq negative', ['analyze', 'tone.wav', '--freq', '-1000'], 2, r'must be above 0 Hz'),
    ('--freq not a number', ['analyze', 'tone.wav', '--freq', 'loud'], 2, r'takes a frequency in Hz'),
    ('--freq far from the tone', ['analyze', 'tone.wav', '--freq', '2000'], 2, r'no tone (found|within 5 %)'),
    ('--freq 4 % from the tone', ['analyze', 'tone.wav', '--freq', '1040'], 0,
     r'fundamental: +1000\.0000\d+ Hz \(-38461\.\d+ ppm'),
    ('a -60 dBc spur 6 Hz from the tone', ['analyze', 'spur.wav'], 0,
     r'SFDR: +(59\.[6-9]\d|60\.[0-4]\d) dB \(largest spur at 100[56]\.\d Hz; spurs within 4 Hz of the tone'),
    ('a prime length', ['analyze', 'prime.wav'], 0, r'fundamental: +1000\.0000\d+ Hz'),
    ('an odd length', ['analyze', 'odd.wav'], 0, r'THD\+N: +-9\d\.\d\d dB \(20 Hz to 20000 Hz\)'),
    ('the band stops at Nyquist', ['analyze', 'tone.wav'], 0, r'THD\+N: +-\d+\.\d\d dB \(20 Hz to 4000 Hz\)'),
    ('one silent channel of two', ['analyze', 'stereo-one-silent.wav'], 2,
     r'channel 1:\n  fundamental: +1000\.0000\d+ Hz[\s\S]*channel 2:\n  refused: +no tone found'),
    ('a header that claims 2 GiB of data', ['analyze', 'claims-too-much.wav'], 0,
     r'\(8000 frames, 8000 Hz, 1 channels\)[\s\S]*fundamental: +1000\.0000'),
    ('info of a header that claims 2 GiB', ['info', 'claims-too-much.wav'], 0, r'length: +8000 frames'),
    ('a truncated data chunk', ['analyze', 'truncated.wav'], 0, r'\(4000 frames[\s\S]*fundamental: +1000\.0000'),
    ('info of a truncated data chunk', ['info', 'truncated.wav', '--levels'], 0,
     r'length: +4000 frames[\s\S]*peak +-6\.\d+ dBFS, RMS +-9\.03\d dBFS'),
    ('65,535 channels', ['analyze', '65535-channels.wav'], 1, r'it has 2 frames; a sine fit needs 64'),
    ('info of 65,535 channels', ['info', '65535-channels.wav'], 1, r'65535-channels\.wav'),
    ('NaN and infinite samples', ['analyze', 'nan.wav'], 1, r'2 of its samples are not numbers'),
    ('info --levels of NaN samples', ['info', 'nan.wav', '--levels'], 0, r'warning: +2 samples are not numbers'),
    ('a chunk that claims nearly 4 GiB', ['analyze', 'chunk-past-4-gib.wav'], 1, r'it has no data chunk'),
    ('3,000,000,000 frames', ['info', '3e9-frames.wav'], 0, r'length: +3000000000 frames \(375000\.000 s\)'),
    ('analyze of 3,000,000,000 frames', ['analyze', '3e9-frames.wav'], 2,
     r'analysed: +the first 60 s \(480000 frames\)[\s\S]*no tone found'),
    ('two hours', ['analyze', 'two-hours.wav'], 0,
     r'analysed: +the first 60 s \(480000 frames\)[\s\S]*fundamental: +1000\.0000'),
    ('info --levels of two hours', ['info', 'two-hours.wav', '--levels'], 0,
     r'length: +57600000 frames \(7200\.000 s\)[\s\S]*peak +-6\.\d+ dBFS, RMS +-29\.7\d+ dBFS'),
]

# Natively and without a sanitizer (whose shadow memory needs a vast address
# space), the long files are read under a cap far below what the whole file
# would take as doubles (460 MB): only a prefix or a stream may be held.
MEMORY_CAPPED = {'two hours', 'info --levels of two hours', 'analyze of 3,000,000,000 frames'}
MEMORY_CAP = 256 << 20


def main():
    tmp = tempfile.mkdtemp(prefix='zelvaro-analyze-')
    os.chdir(tmp)
    try:
        make_fixtures()
        cap = not EMULATOR and not sanitized()
        for name, args, code, pattern in CASES:
            rc, out, err = run(args, MEMORY_CAP if cap and name in MEMORY_CAPPED else None)
            text = out + '\n' + err
            ok = rc == code and re.search(pattern, text) and 'Sanitizer' not in err and 'runtime error' not in err
            check(bool(ok), f'{name}: exit {rc} (want {code})' + ('' if ok else f'\n{text}'))
            # A refusal says why on standard error; a measurement prints no "refused".
            if code == 0:
                check('refused' not in out, f'{name}: nothing refused')
            else:
                check(err.strip() != '', f'{name}: a message on standard error')
        rc, out, _ = run(['--help'])
        check(rc == 0 and 'no tone found' in out and 'first minute' in out,
              '--help says what analyze refuses and that it reads the first minute')
    finally:
        os.chdir('/')
        shutil.rmtree(tmp, ignore_errors=True)
    print(f'{len(failures)} failed')
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
