#!/usr/bin/env python3
"""File and folder names outside the system's code page through every command
that takes a name: the tool writes and reads them as they are, under wine as
natively (where the program's manifest asks for UTF-8 as its code page).

usage: file_names_test.py [EMULATOR] PATH/TO/zelvaro-render"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

RENDER = os.path.abspath(sys.argv[-1])
EMULATOR = sys.argv[1] if len(sys.argv) > 2 and sys.argv[1] else None
if EMULATOR and os.sep in EMULATOR:
    EMULATOR = os.path.abspath(EMULATOR)

failures = 0


def expect(condition, message):
    global failures
    print(('ok      ' if condition else 'FAILED  ') + message)
    if not condition:
        failures += 1


def run(*args):
    return subprocess.run(([EMULATOR] if EMULATOR else []) + [RENDER, *args], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True, encoding='utf-8',
                          errors='replace', timeout=300)


def tone_file(path):
    """The 536-byte tone record, little-endian, field by field: one sine of
    997 Hz, mono, fixed at 500 ms."""
    fixed, sine = 8, 0
    pad = [997.0] + [0.0] * 15
    body = struct.pack('<HBBI', fixed, sine, 1, 500)   # flags, waveform, tones, duration
    for _ in range(4):                                 # start and end, left and right
        body += struct.pack('<16d', *pad)
    body += struct.pack('<16b', *([0] * 16))           # relative amplitudes, dB
    assert len(body) == 536
    with open(path, 'wb') as f:
        f.write(body)


# Names that the code page of a western system (1252) cannot hold, in folders
# that cannot either, with the blanks and dots users type.
NAMES = [
    ('a note and an umlaut', 'Tön ♪ 1 kHz'),
    ('Chinese', '音调 测试'),
    ('Greek and Cyrillic', 'Ωμέγα Звук'),
    ('outside the basic plane', 'tone 🎵'),
]


def main():
    root = tempfile.mkdtemp(prefix='zelvaro-names-')
    try:
        reference = os.path.join(root, 'reference.tdf')
        tone_file(reference)
        r = run('render', reference, os.path.join(root, 'reference.wav'))
        if r.returncode != 0:
            expect(False, 'a plain name renders: %d %s' % (r.returncode, r.stderr))
            return
        plain = open(os.path.join(root, 'reference.wav'), 'rb').read()
        for label, name in NAMES:
            folder = os.path.join(root, name + ' folder')
            os.mkdir(folder)
            tdf, wav, copy = (os.path.join(folder, name + ext) for ext in ('.tdf', '.wav', ' copy.wav'))
            shutil.copyfile(reference, tdf)
            steps = [
                ('render', ['render', tdf, wav], wav),
                ('convert', ['convert', wav, copy, '--rate', '48000'], copy),
                ('info', ['info', copy], None),
                ('analyze', ['analyze', wav], None),
            ]
            for step, args, written in steps:
                r = run(*args)
                ok = r.returncode == 0 and (written is None or os.path.isfile(written))
                expect(ok, '%s: %s of "%s": %d %s' % (label, step, name, r.returncode, r.stderr.strip()))
            if os.path.isfile(wav):
                expect(open(wav, 'rb').read() == plain, '%s: the file is the one a plain name gets' % label)
            expect(sorted(os.listdir(folder)) == sorted(os.path.basename(p) for p in (tdf, wav, copy)),
                   '%s: nothing else in the folder: %s' % (label, os.listdir(folder)))
    finally:
        shutil.rmtree(root, ignore_errors=True)


main()
sys.exit(1 if failures else 0)
