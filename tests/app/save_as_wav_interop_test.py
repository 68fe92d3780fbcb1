#!/usr/bin/env python3
"""Save As Wav files cancelled at once and in the middle, read back by sox and
by Python's wave module: both must see a valid 16-bit stereo file holding
exactly the frames written so far (none, or whole blocks of 8,192).

usage: save_as_wav_interop_test.py EMULATOR APP_DIALOG_TESTS_EXE
Exits 77 (skipped) when sox is not installed."""

import os
import shutil
import subprocess
import sys
import tempfile
import wave

EMULATOR, TESTS = sys.argv[1], sys.argv[2]


def main():
    if shutil.which('sox') is None:
        print('sox is not installed')
        return 77
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([EMULATOR, TESTS, '--gtest_filter=SaveAsWav.Cancel*', '--gtest_color=no'],
                             env=dict(os.environ, ZELVARO_WAV_OUT=out), stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
        if run.returncode != 0:
            print(run.stdout)
            print('the cancel tests failed')
            return 1
        failures = []
        # (file, at least, at most) frames
        for name, low, high in (('cancel-at-once.wav', 0, 0), ('cancel-middle.wav', 8192, 300 * 44100 - 1)):
            path = os.path.join(out, name)
            if not os.path.exists(path):
                failures.append(name + ': not written')
                continue
            data_bytes = os.path.getsize(path) - 46
            with wave.open(path, 'rb') as w:
                frames = w.getnframes()
                params = (w.getnchannels(), w.getsampwidth(), w.getframerate())
                read = len(w.readframes(frames + 1))
            if params != (2, 2, 44100) or read != data_bytes or frames * 4 != data_bytes:
                failures.append('%s: wave sees %r, %d frames, reads %d of %d bytes'
                                % (name, params, frames, read, data_bytes))
            if not (low <= frames <= high and frames % 8192 == 0):
                failures.append('%s: %d frames' % (name, frames))
            info = [subprocess.run(['sox', '--i', flag, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True).stdout.strip() for flag in ('-c', '-r', '-b', '-s')]
            if info != ['2', '44100', '16', str(frames)]:
                failures.append('%s: sox --i says %r, expected %d samples' % (name, info, frames))
            if frames:
                stat = subprocess.run(['sox', path, '-n', 'stat'], stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, text=True)
                samples = [line.split(':')[1] for line in stat.stderr.splitlines() if line.startswith('Samples read')]
                if stat.returncode != 0 or not samples or int(samples[0]) != frames * 2:
                    failures.append('%s: sox stat read %r samples: %s' % (name, samples, stat.stderr[-200:]))
            print('%s: %d frames' % (name, frames))
        for f in failures:
            print('FAILED: ' + f)
        return 1 if failures else 0


sys.exit(main())
