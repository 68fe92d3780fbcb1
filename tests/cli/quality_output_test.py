#!/usr/bin/env python3
"""zelvaro-render's measurement-grade output from outside: 24-bit and float
files read back by Python's wave module and by sox, --peak on a single tone,
a 16-tone mix and a sweep on both paths, pink noise's slope, and analyze
against an analysis written apart from it.

usage: quality_output_test.py PATH/TO/zelvaro-render
Exits 77 (skipped) without numpy."""

import os
import shutil
import subprocess
import sys
import tempfile
import wave

try:
    import numpy as np
except ImportError:
    # Debian's own interpreter has python3-numpy where another one on the
    # path may not.
    if sys.executable != '/usr/bin/python3' and os.path.exists('/usr/bin/python3'):
        os.execv('/usr/bin/python3', ['/usr/bin/python3'] + sys.argv)
    print('numpy is missing: skipped')
    sys.exit(77)

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'tools', 'lib'))
import quality_analysis  # noqa: E402
from render_interop_test import tone_file  # noqa: E402

RENDER = os.path.abspath(sys.argv[1])
FLAG_SWEEP, FLAG_LOG, FLAG_STEREO, FLAG_FIXED = 1, 2, 4, 8
SINE, SQUARE, PINK = 0, 1, 6
failures = []


def check(ok, what):
    print(('ok    ' if ok else 'FAIL  ') + what)
    if not ok:
        failures.append(what)


def render(*args):
    r = subprocess.run([RENDER, *args], capture_output=True, text=True, timeout=300)
    assert r.returncode == 0, (args, r.stderr)
    return r.stdout


def main():
    tmp = tempfile.mkdtemp(prefix='zelvaro-quality-')
    p = lambda name: os.path.join(tmp, name)
    try:
        sine = tone_file(p('sine.tdf'), FLAG_FIXED, SINE, 2000, [997.0])
        mix = tone_file(p('mix.tdf'), FLAG_FIXED | FLAG_STEREO, SINE, 2000,
                        [100.0 * (k + 1) + 7 for k in range(16)], [130.0 * (k + 1) + 3 for k in range(16)])
        sweep = tone_file(p('sweep.tdf'), FLAG_FIXED | FLAG_SWEEP | FLAG_LOG, SQUARE, 2000, [50.0], end_left=[15000.0])

        # The new headers, read back.
        render('render', sine, p('s24.wav'), '--bits', '24', '--pure')
        with wave.open(p('s24.wav')) as w:
            check(w.getsampwidth() == 3 and w.getnframes() == 88200, "Python's wave reads the 24-bit file")
        render('render', sine, p('sf.wav'), '--float')
        if shutil.which('sox'):
            for name, encoding in (('s24.wav', '24-bit Signed'), ('sf.wav', '32-bit Floating')):
                info = subprocess.run(['soxi', p(name)], capture_output=True, text=True).stdout
                check(encoding in info and '88200 samples' in info, f'sox reads {name} as {encoding}')
            stat = subprocess.run(['sox', p('sf.wav'), '-n', 'stat'], capture_output=True, text=True).stderr
            peak = float([l for l in stat.splitlines() if l.startswith('Maximum amplitude')][0].split()[-1])
            check(abs(peak - 131070.8844 / 524288) < 1e-4, f'sox finds the float file at the program\'s level ({peak})')
        # A float file is made on the double-precision path, finer than the
        # chain's 20 bits: its samples are those of --pure, to the 16-bit step.
        render('render', sine, p('s16.wav'), '--pure')
        _, x16 = quality_analysis.read_wav(p('s16.wav'))
        _, xf = quality_analysis.read_wav(p('sf.wav'))
        check(np.max(np.abs(np.round(xf[0] * 32768) - x16[0] * 32768)) <= 1,
              'the float file holds the double-precision path\'s samples')

        # --peak on both paths, within 0.01 dB of the level asked for.
        for tone, name in ((sine, 'one tone'), (mix, '16 tones'), (sweep, 'log sweep of a square')):
            for path_args in ([], ['--pure']):
                for level in ('-1', '-20.5'):
                    render('render', tone, p('peak.wav'), '--float', '--peak', level, *path_args)
                    _, x = quality_analysis.read_wav(p('peak.wav'))
                    got = 20 * np.log10(np.max(np.abs(x)))
                    check(abs(got - float(level)) < 0.01,
                          f'--peak {level} {" ".join(path_args)} on {name}: {got:.4f} dBFS')

        # Pink noise on the pure path: -3 dB per octave from 20 Hz to 20 kHz,
        # almost nothing below 10 Hz.
        pink = tone_file(p('pink.tdf'), FLAG_FIXED, PINK, 60000, [])
        render('render', pink, p('pink.wav'), '--pure', '--float', '--seed', '3')
        rate, x = quality_analysis.read_wav(p('pink.wav'))
        worst, below = quality_analysis.pink_figures(x[0], rate)
        check(worst < 0.5, f'pink noise within +-0.5 dB of -3 dB/octave, 20 Hz to 20 kHz (worst third-octave {worst:.2f} dB)')
        check(below < 0.01, f'pink noise has {100 * below:.3f} % of its power below 10 Hz')

        # analyze against the separate analysis.
        for args, name in ((['--pure', '--bits', '24', '--peak', '-1'], 'pure 24-bit'),
                           (['--peak', '-1', '--dither', 'tpdf'], 'default 16-bit dithered')):
            render('render', sine, p('a.wav'), *args)
            out = render('analyze', p('a.wav'), '--freq', '997')
            ours = {line.split(':')[0].strip(): line.split(':', 1)[1].split()[0] for line in out.splitlines()
                if ':' in line and line.split(':', 1)[1].split()}
            ref = quality_analysis.analyse(quality_analysis.read_wav(p('a.wav'))[1][0], 44100, 997.0)
            check(abs(float(ours['THD+N']) - ref['thdn_db']) < 0.5 and abs(float(ours['SFDR']) - ref['sfdr_db']) < 0.5
                  and abs(float(ours['level']) - ref['level_dbfs']) < 0.01,
                  f'analyze agrees with the separate fit on the {name} file '
                  f'(THD+N {ours["THD+N"]} / {ref["thdn_db"]:.2f}, SFDR {ours["SFDR"]} / {ref["sfdr_db"]:.2f})')
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f'{len(failures)} failed')
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
