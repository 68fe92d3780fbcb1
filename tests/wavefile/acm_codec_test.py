#!/usr/bin/env python3
"""The compressed WAV classes on the platform's codecs (under wine): makes
small compressed files with sox and ffmpeg and their reference decodes, runs
the test program on them, then has sox read the files that the program
encoded.

usage: acm_codec_test.py WORKDIR EMULATOR TEST_PROGRAM [gtest args...]
Exits 77 (skipped) without sox; the rows that need ffmpeg are skipped
without it."""

import os
import shutil
import subprocess
import sys

WORK, EMULATOR, PROGRAM = sys.argv[1:4]
GTEST_ARGS = sys.argv[4:]


def run(*args):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300)
    if r.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed:\n{r.stdout}")
    return r.stdout


def make_fixtures():
    """Sources of about a second (more than one 8,192-frame buffer), each
    encoded once and decoded back to 16-bit PCM by the same tool."""
    sox = lambda *a: run('sox', *a)
    sox('-n', '-r', '8000', '-c', '1', '-b', '16', 'src_8k_mono.wav', 'synth', '1.3', 'sine', '200-3000',
        'sine', '440', 'remix', '-', 'gain', '-3')
    sox('-n', '-r', '22050', '-c', '2', '-b', '16', 'src_22k_stereo.wav', 'synth', '0.6', 'sine', '300-5000',
        'sine', '523', 'gain', '-3')
    for name, src, enc in [('ima_mono', 'src_8k_mono', 'ima-adpcm'), ('ima_stereo', 'src_22k_stereo', 'ima-adpcm'),
                           ('alaw', 'src_22k_stereo', 'a-law'), ('mulaw', 'src_8k_mono', 'u-law'),
                           ('gsm', 'src_8k_mono', 'gsm-full-rate')]:
        sox(src + '.wav', '-e', enc, name + '.wav')
        sox(name + '.wav', '-e', 'signed-integer', '-b', '16', name + '.ref.wav')
    if shutil.which('ffmpeg'):
        ff = lambda *a: run('ffmpeg', '-nostdin', '-loglevel', 'error', '-y', *a)
        for name, codec in [('msadpcm', ['-c:a', 'adpcm_ms']), ('mp3', ['-c:a', 'libmp3lame', '-b:a', '64k'])]:
            ff('-i', 'src_22k_stereo.wav', *codec, '-f', 'wav', name + '.wav')
            ff('-i', name + '.wav', '-c:a', 'pcm_s16le', name + '.ref.wav')


def sox_info(path):
    fields = {}
    for line in run('sox', '--i', path).splitlines():
        if ':' in line:
            key, value = line.split(':', 1)
            fields[key.strip()] = value.strip()
    return fields


def check_encoded():
    """Every file the program wrote is read by sox with the format, rate and
    channels asked for, and decodes to at least the frames written."""
    want = {'ima_mono': ('IMA ADPCM', '8000', '1', 10400), 'ima_stereo': ('IMA ADPCM', '22050', '2', 13230),
            'alaw': ('A-law', '22050', '2', 13230), 'mulaw': ('u-law', '8000', '1', 10400),
            'gsm': ('GSM', '8000', '1', 10400)}
    failures = []
    for name, (encoding, rate, channels, frames) in want.items():
        path = f'out_{name}.wav'
        if not os.path.exists(path):
            failures.append(f'{path} was not written')
            continue
        info = sox_info(path)
        got = (info.get('Sample Encoding', ''), info.get('Sample Rate'), info.get('Channels'))
        stat = subprocess.run(['sox', path, '-n', 'stat'], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True)
        samples = [l for l in stat.stdout.splitlines() if l.startswith('Samples read')]
        read = int(samples[0].split(':')[1]) // int(channels) if samples else -1
        print(f'sox on {path}: {got}, {read} frames')
        if encoding not in got[0] or got[1:] != (rate, channels):
            failures.append(f'{path}: sox reads {got}, wanted {encoding}, {rate} Hz, {channels} channels')
        if stat.returncode != 0 or read < frames:
            failures.append(f'{path}: sox stat read {read} frames (want at least {frames}):\n{stat.stdout}')
    return failures


def main():
    if not shutil.which('sox'):
        print('sox is not installed: skipped')
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    os.chdir(WORK)
    make_fixtures()
    env = dict(os.environ, ZELVARO_ACM_FIXTURES='Z:' + os.path.abspath(WORK))
    r = subprocess.run([EMULATOR, PROGRAM, '--gtest_color=no', *GTEST_ARGS] if EMULATOR else
                       [PROGRAM, '--gtest_color=no', *GTEST_ARGS], env=env, timeout=600)
    failures = [] if r.returncode == 0 else [f'the test program failed ({r.returncode})']
    if r.returncode == 0 and not GTEST_ARGS:
        failures += check_encoded()
    for f in failures:
        print('FAILED:', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
