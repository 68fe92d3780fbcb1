#!/usr/bin/python3
"""The table of tools/bench-quality: usage bench_quality.py ZELVARO-RENDER WORK-DIR."""

import os
import resource
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'tests', 'cli'))
import quality_analysis as qa  # noqa: E402
from render_interop_test import tone_file  # noqa: E402

RENDER, WORK = sys.argv[1], sys.argv[2]
FIXED, STEREO, SWEEP, LOG = 8, 4, 1, 2
SINE, SQUARE, TRI, SAW, PINK = 0, 1, 2, 3, 6


def tone(name, flags, waveform, ms, left, right=None, end_left=None):
    return tone_file(os.path.join(WORK, name), flags | FIXED, waveform, ms, left, right, end_left)


def timed(args):
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def cpu_seconds(args):
    """User and system time the command took (of all its threads)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def analyze(path, freq):
    out = subprocess.run([RENDER, 'analyze', path, '--freq', str(freq)], capture_output=True, text=True, check=True).stdout
    fields = {}
    for line in out.splitlines():
        if ':' in line and line.startswith('  ') and not line.startswith('  channel'):
            key, rest = line.split(':', 1)
            fields.setdefault(key.strip(), float(rest.split()[0]))
    return fields


def ours(path_args, tdf, name, *extra):
    out = os.path.join(WORK, name)
    subprocess.run([RENDER, 'render', tdf, out, *path_args, *extra], check=True, stderr=subprocess.DEVNULL)
    return out


SOX_FLOAT = ['-e', 'floating-point', '-b', '32']


def sox(name, options, effects):
    out = os.path.join(WORK, name)
    subprocess.run(['sox', '-n', '-r', '44100', *options, out, *effects], check=True, stderr=subprocess.DEVNULL)
    return out


PATHS = (('default', []), ('pure', ['--pure']))


def rendered(stem, tdf, our_args, sox_options, sox_effects):
    """The tone file rendered on both paths, and sox's signal, as (label, path)."""
    files = [(label, ours(args, tdf, f'{label}-{stem}.wav', *our_args)) for label, args in PATHS]
    return files + [('sox', sox(f'sox-{stem}.wav', sox_options, sox_effects))]


def both_analyses(path, freq):
    """analyze's figures and the numpy analysis's of the first channel."""
    rate, x = qa.read_wav(path)
    return analyze(path, freq), qa.analyse(x[0], rate, float(freq))


def peak_dbfs(path):
    return 20 * np.log10(np.max(np.abs(qa.read_wav(path)[1])))


def main():
    sine = tone('sine.tdf', 0, SINE, 5000, [997.0])
    formats = (('16-bit', ['--bits', '16'], ['-D', '-b', '16']),
               ('16-bit TPDF', ['--bits', '16', '--dither', 'tpdf'], ['-b', '16']),
               ('24-bit', ['--bits', '24'], ['-D', '-b', '24']),
               ('float', ['--float'], SOX_FLOAT))
    print('997 Hz at -1 dBFS, 5 s, 44.1 kHz        THD+N dB (analyze / numpy)   SFDR dB (analyze / numpy)   level dBFS')
    for fmt, our_args, sox_args in formats:
        for label, f in rendered(fmt, sine, ['--peak', '-1', *our_args], sox_args,
                                 ['synth', '5', 'sine', '997', 'gain', '-1']):
            a, r = both_analyses(f, 997)
            print(f'  {label:8s} {fmt:12s}                {a["THD+N"]:8.2f} / {r["thdn_db"]:8.2f}       '
                  f'{a["SFDR"]:7.2f} / {r["sfdr_db"]:7.2f}       {a["level"]:8.4f}')

    print('\n3 kHz, float, 5 s: largest non-harmonic (alias) dB below the tone (analyze / numpy)')
    for wave_name, code, sox_name in (('square', SQUARE, 'square'), ('saw tooth', SAW, 'sawtooth'),
                                      ('triangle', TRI, 'triangle')):
        tdf = tone(f'{sox_name}.tdf', 0, code, 5000, [3000.0])
        for label, f in rendered(sox_name, tdf, ['--float'], SOX_FLOAT, ['synth', '5', sox_name, '3000', 'gain', '-3']):
            a, r = both_analyses(f, 3000)
            print(f'  {label:8s} {wave_name:10s} {a["non-harmonic"]:8.2f} / {r["non_harmonic_db"]:8.2f} '
                  f'at {r["non_harmonic_hz"]:7.1f} Hz')

    print('\n--peak -1 (float), sample peak found in the file')
    mix = tone('mix.tdf', STEREO, SINE, 5000, [110.0 * (i + 1) for i in range(16)], [115.0 * (i + 1) for i in range(16)])
    logsweep = tone('logsweep.tdf', SWEEP | LOG, SINE, 10000, [20.0], end_left=[20000.0])
    for name, tdf in (('16-tone stereo mix', mix), ('log sweep 20 Hz-20 kHz', logsweep)):
        for label, args in PATHS:
            f = ours(args, tdf, f'peak-{label}.wav', '--float', '--peak', '-1')
            print(f'  {label:8s} {name:24s} {peak_dbfs(f):9.4f} dBFS')
    f = sox('sox-sweep.wav', SOX_FLOAT, ['synth', '10', 'sine', '20/20000', 'gain', '-1'])
    print(f'  {"sox":8s} {"log sweep 20 Hz-20 kHz":24s} {peak_dbfs(f):9.4f} dBFS (gain -1)')

    print('\npink noise, 60 s, float: worst third-octave deviation from -3 dB/octave (20 Hz-20 kHz), power below 10 Hz')
    pink = tone('pink.tdf', 0, PINK, 60000, [])
    for label, f in rendered('pink', pink, ['--float', '--seed', '1'], SOX_FLOAT,
                             ['synth', '60', 'pinknoise', 'gain', '-10']):
        rate, x = qa.read_wav(f)
        worst, below = qa.pink_figures(x[0], rate)
        print(f'  {label:8s} {worst:6.2f} dB   {100 * below:7.3f} % below 10 Hz')

    print('\n10 minutes of 16 stereo tones, 16-bit: wall seconds (best of 3) and x sox')
    long = tone('long.tdf', STEREO, SINE, 600000, [110.0 * (i + 1) for i in range(16)],
                [115.0 * (i + 1) for i in range(16)])
    sines = []
    for i in range(16):
        sines += ['sine', str(110 * (i + 1))]
    times = {}
    times['sox'] = min(timed(['sox', '-D', '-r', '44100', '-c', '16', '-n', '-b', '16', os.path.join(WORK, 'soxlong.wav'),
                              'synth', '600', *sines, 'remix', '1-16', '1-16']) for _ in range(3))
    for label, args in PATHS:
        times[label] = min(timed([RENDER, 'render', long, os.path.join(WORK, 'long.wav'), *args]) for _ in range(3))
    for label in ('default', 'pure', 'sox'):
        print(f'  {label:8s} {times[label]:7.2f} s   {times["sox"] / times[label]:6.1f}x')

    print('\nrate conversion of 60 s of stereo 24-bit, --pure --bits 24: CPU ms per second of audio (best of 3),'
          ' beside sox -v')
    for rate_in, rate_out in ((48000, 44100), (44100, 48000), (44100, 44101), (192000, 44100)):
        src = os.path.join(WORK, f'conv-{rate_in}.wav')
        if not os.path.exists(src):
            subprocess.run(['sox', '-n', '-r', str(rate_in), '-b', '24', '-c', '2', src, 'synth', '60', 'sine', '997',
                            'sine', '1501', 'gain', '-6'], check=True)
        out = os.path.join(WORK, 'conv-out.wav')
        ours_ms = min(cpu_seconds([RENDER, 'convert', src, out, '--pure', '--bits', '24', '--rate', str(rate_out)])
                      for _ in range(3)) / 60 * 1000
        sox_ms = min(cpu_seconds(['sox', '-D', src, '-b', '24', out, 'rate', '-v', str(rate_out)])
                     for _ in range(3)) / 60 * 1000
        print(f'  {rate_in:6d} -> {rate_out:6d} Hz   ours {ours_ms:6.1f} ms/s   sox {sox_ms:6.1f} ms/s')


if __name__ == '__main__':
    main()
