#!/usr/bin/env python3
"""zelvaro-render sweep, deconvolve, render and convert against hostile
names and files: each case ends in a right figure or a refusal with its exit
code and reason, no file that was there is changed (bytes and time), and no
temporary file is left in the folder.

usage: measurement_files_test.py EMULATOR|"" zelvaro-render"""

import math
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from render_interop_test import FLAG_FIXED, SINE, tone_file  # noqa: E402

EMULATOR, RENDER = sys.argv[1], os.path.abspath(sys.argv[2])
WINDOWS = bool(EMULATOR)
failures = []


def check(ok, what):
    print(('ok      ' if ok else 'FAILED  ') + what)
    if not ok:
        failures.append(what)


def run(*args, stdout=subprocess.PIPE):
    cmd = ([EMULATOR] if EMULATOR else []) + [RENDER, *args]
    r = subprocess.run(cmd, stdout=stdout, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300)
    err = '\n'.join(l for l in r.stderr.decode('utf-8', 'replace').splitlines() if 'fixme' not in l)
    out = r.stdout.decode('latin-1') if isinstance(r.stdout, bytes) else ''
    return r.returncode, out, err, r.stdout


def wav(path, rate, channels, samples, bits=32, claim_bytes=None):
    """A WAV file of interleaved samples: float for 32 bits, else PCM; the
    data chunk may claim `claim_bytes` whatever it holds."""
    if bits == 32:
        body = struct.pack('<%df' % len(samples), *samples)
        tag = 3
    else:
        body = struct.pack('<%dh' % len(samples), *[max(-32768, min(32767, round(v * 32768))) for v in samples])
        tag = 1
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * channels * bits // 8, channels * bits // 8, bits)
    size = len(body) if claim_bytes is None else claim_bytes
    chunks = b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', size) + body
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + len(chunks)) + b'WAVE' + chunks)


def float_samples(path):
    data = open(path, 'rb').read()
    at = data.index(b'data')
    size = struct.unpack_from('<I', data, at + 4)[0]
    return list(struct.unpack_from('<%df' % (size // 4), data, at + 8)), data


def snapshot():
    """Every entry of the work folder: its bytes (None for a folder) and time."""
    state = {}
    for root, dirs, files in os.walk('.'):
        for name in dirs + files:
            path = os.path.join(root, name)
            st = os.stat(path)
            state[path] = (None if os.path.isdir(path) else open(path, 'rb').read(), st.st_mtime_ns)
    return state


def unchanged(before, allowed_new=()):
    """'' when every entry of `before` is as it was, nothing but `allowed_new`
    was added and no temporary file is left; else what differs."""
    after = snapshot()
    for path, value in before.items():
        if after.get(path) != value:
            return '%s changed' % path
    for path in after:
        if path not in before and os.path.basename(path) not in allowed_new:
            return '%s appeared' % path
    return ''


def main():
    os.chdir(tempfile.mkdtemp(prefix='zelvaro-measurement-files-'))
    rate = 44100
    code, out, err, _ = run('sweep', 's.wav', '--from', '20', '--to', '20000', '--seconds', '1', '--rate', str(rate))
    check(code == 0, 'the sweep is made (%s)' % err)
    sweep, sweep_bytes = float_samples('s.wav')
    frames = len(sweep)
    delay = 777
    recording = [0.0] * delay + sweep + [0.0] * 3000
    wav('rec.wav', rate, 1, recording)
    wav('ir.csv', rate, 1, recording)          # a recording named like a table
    wav('ir-h2.wav', rate, 1, recording)       # ... like a harmonic's response
    with open('ir.svg', 'wb') as f:            # a sweep named like a plot
        f.write(sweep_bytes)
    for name in ['old.wav', 'old-h2.wav', 'old.csv', 'old.svg']:
        with open(name, 'w') as f:
            f.write('what was there: ' + name)
    os.mkdir('sub')
    tone = tone_file('tone.tdf', FLAG_FIXED, SINE, 100, [440.0])
    wav('in.wav', rate, 1, [0.5 * math.sin(i / 10) for i in range(1000)], bits=16)

    # Names that collide, in every pairing of an output with an input or with
    # another output; other spellings of one name; folders in the way; a
    # missing folder; standard output where it cannot go.
    refusals = [
        ('IR over the recording', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'rec.wav'], 2, 'over the recording'),
        ('IR over the sweep', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 's.wav'], 2, 'over the sweep'),
        ('IR over the recording, another spelling',
         ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'sub/../rec.wav'], 2, 'over the recording'),
        ('IR over the recording, ./', ['deconvolve', './rec.wav', '--sweep', 's.wav', 'rec.wav'], 2, 'over the recording'),
        ('table over the recording', ['deconvolve', 'ir.csv', '--sweep', 's.wav', 'ir.wav'], 2,
         'the response table (ir.csv) over the recording'),
        ('harmonic over the recording', ['deconvolve', 'ir-h2.wav', '--sweep', 's.wav', 'ir.wav', '--harmonics', '2'], 2,
         "harmonic 2's response (ir-h2.wav) over the recording"),
        ('plot over the sweep', ['deconvolve', 'rec.wav', '--sweep', 'ir.svg', 'ir.wav'], 2,
         'the response plot (ir.svg) over the sweep'),
        ('table is the IR', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'x.csv'], 2,
         'the response table (x.csv) and the impulse response (x.csv) would be the same file'),
        ('plot is the IR', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'x.svg'], 2, 'would be the same file'),
        ('IR over the sweep that is the recording too', ['deconvolve', 's.wav', '--sweep', 's.wav', 's.wav'], 2,
         'over the recording'),
        ('IR to standard output', ['deconvolve', 'rec.wav', '--sweep', 's.wav', '-'], 2, 'standard output'),
        ('sweep and inverse one file', ['sweep', 'n.wav', '--from', '20', '--to', '20000', '--seconds', '1',
                                        '--inverse', 'n.wav'], 2, 'would be the same file'),
        ('inverse over an existing sweep by another name',
         ['sweep', 's.wav', '--from', '20', '--to', '20000', '--seconds', '1', '--inverse', './sub/../s.wav'], 2,
         'would be the same file'),
        ('sweep and inverse to standard output', ['sweep', '-', '--from', '20', '--to', '20000', '--seconds', '1',
                                                  '--inverse', 'i.wav'], 2, 'standard output'),
        ('render onto its tone file by another name', ['render', tone, './' + tone], 2, 'are the same file'),
        ('convert onto its input by another name', ['convert', 'in.wav', 'sub/../in.wav'], 2, 'are the same file'),
        ('missing folder for the IR', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'nodir/ir.wav'], 1,
         'cannot write nodir/ir.wav: no such folder'),
        ('missing folder for the inverse', ['sweep', 's.wav', '--from', '20', '--to', '20000', '--seconds', '1',
                                            '--inverse', 'nodir/i.wav'], 1, 'cannot write nodir/i.wav: no such folder'),
        ('a file in place of a folder', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'rec.wav/ir.wav'], 1,
         'cannot write rec.wav/ir.wav'),
    ]
    if WINDOWS:
        refusals += [
            ('IR over the recording, other case', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'REC.WAV'], 2,
             'over the recording'),
            ('render onto its tone file, other case', ['render', tone, tone.upper()], 2, 'are the same file'),
            # Windows drops the dots and blanks that end a name.
            ('inverse over the sweep, a trailing dot', ['sweep', 'n.wav', '--from', '20', '--to', '20000',
                                                        '--seconds', '1', '--inverse', 'N.WAV.'], 2,
             'would be the same file'),
            ('table over the IR, a trailing blank', ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'x.csv '], 2,
             'would be the same file'),
        ]
    else:
        os.symlink('rec.wav', 'link.wav')
        refusals += [('IR over the recording through a link',
                      ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'link.wav'], 2, 'over the recording')]
    # A folder in the place of each output, beside files of the others'
    # names that must survive.
    for folder in ['old.wav', 'old-h2.wav', 'old.csv', 'old.svg']:
        refusals.append(('folder named %s' % folder, ['deconvolve', 'rec.wav', '--sweep', 's.wav', 'old.wav',
                                                      '--harmonics', '2'], 1,
                         'cannot write %s: it is a folder' % folder, folder))
    refusals.append(('folder named like the inverse', ['sweep', 's.wav', '--from', '20', '--to', '20000', '--seconds',
                                                       '1', '--inverse', 'old.svg'], 1,
                     'cannot write old.svg: it is a folder', 'old.svg'))
    for row in refusals:
        name, args, want, text = row[:4]
        folder = row[4] if len(row) > 4 else None
        if folder:
            os.rename(folder, folder + '.kept')
            os.mkdir(folder)
        before = snapshot()
        code, out, err, _ = run(*args)
        difference = unchanged(before)
        check(code == want and text in err and not difference,
              '%s: exit %d (want %d), %r, %s' % (name, code, want, err.strip(), difference or 'nothing changed'))
        if folder:
            os.rmdir(folder)
            os.rename(folder + '.kept', folder)

    # What the sweep command refuses: bands without a flat part, sweeps past
    # the length limits (after rounding to whole cycles).
    for name, args, text in [
        ('a band 1000 to 1500 Hz', ['--from', '1000', '--to', '1500', '--seconds', '1'], 'no flat part'),
        ('a band 19999 to 20000 Hz', ['--from', '19999', '--to', '20000', '--seconds', '1'], 'no flat part'),
        ('an hour at 192 kHz', ['--from', '20', '--to', '20000', '--seconds', '3600', '--rate', '192000'],
         'from 0.1 to 600'),
        ('4.7 hours after rounding', ['--from', '0.001', '--to', '20000', '--seconds', '10'], 'the limit is 600 s'),
        ('past the frame limit', ['--from', '20', '--to', '20000', '--seconds', '300', '--rate', '192000'],
         'the limit is 8388608'),
        ('too long to deconvolve', ['--from', '20', '--to', '20000', '--seconds', '170', '--rate', '48000'],
         'deconvolving even a mono recording of its own length'),
    ]:
        before = snapshot()
        code, out, err, _ = run('sweep', 'new.wav', *args)
        difference = unchanged(before)
        check(code == 2 and text in err and not difference, 'sweep of %s refused: %d %r %s' % (name, code, err, difference))

    # A length far from the request is said.
    code, out, err, _ = run('sweep', 'odd.wav', '--from', '1', '--to', '20000', '--seconds', '1')
    check(code == 0 and 'not the 1 s asked for' in err, 'a rounded length is warned of: %r' % err)

    # The sweep alone to standard output is the file it writes by name.
    code, _, err, piped = run('sweep', '-', '--from', '20', '--to', '20000', '--seconds', '1', '--rate', str(rate))
    check(code == 0 and piped == sweep_bytes, 'the sweep on standard output is the sweep file (%d, %s)' % (code, err))

    # Recordings that cannot be measured, and those that can with a warning.
    silent = 'silent.wav'
    wav(silent, rate, 1, [0.0] * len(recording))
    nan = 'nan.wav'
    wav(nan, rate, 1, recording[:5000] + [float('nan')] + recording[5001:])
    wav('empty.wav', rate, 1, [])
    wav('clipped.wav', rate, 1, [max(-1.0, min(1.0, 4 * v)) for v in recording], bits=16)
    wav('short.wav', rate, 1, sweep[:frames // 2])
    late_frames = 12 * rate
    wav('late.wav', rate, 1, [0.0] * late_frames + sweep + [0.0] * 3000)
    prime = 100003 - frames - delay          # a recording of 100,003 frames, a prime
    wav('prime.wav', rate, 1, [0.0] * delay + sweep + [0.0] * prime)
    wav('odd-stereo.wav', rate, 2, [v for s in ([0.0] * delay + sweep + [0.0] * 1001) for v in (s, 0.5 * s)])
    # A header claiming far more data than the file holds.
    wav('claims.wav', rate, 1, recording, claim_bytes=0x7FFFFFF0)
    edited = list(sweep)
    edited[frames // 3] += 0.01
    with open('edited.wav', 'wb') as f:
        at = sweep_bytes.index(b'data') + 8 + 4 * (frames // 3)
        f.write(sweep_bytes[:at] + struct.pack('<f', edited[frames // 3]) + sweep_bytes[at + 4:])
    narrow = bytearray(sweep_bytes)
    at = narrow.index(b'zswp') + 8
    struct.pack_into('<dd', narrow, at, 1000.0, 1500.0)   # names a 1000 to 1500 Hz sweep
    with open('narrow.wav', 'wb') as f:
        f.write(narrow)
    # A "sweep" of 8-bit samples one frame longer than any sweep.
    huge = 8388609
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate, 1, 8)
    with open('huge-sweep.wav', 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 24 + 8 + huge + 1) + b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt +
                b'data' + struct.pack('<I', huge) + bytes([128]) * (huge + 1))
    for name, rec, sweep_file, want, texts, stdout_texts in [
        ('silent', silent, 's.wav', 1, ['is silent'], []),
        ('NaN', nan, 's.wav', 1, ['1 samples that are not numbers'], []),
        ('empty', 'empty.wav', 's.wav', 1, ['holds no samples'], []),
        ('clipped', 'clipped.wav', 's.wav', 0, ['clips:'], ['[unreliable: clipped']),
        ('short', 'short.wav', 's.wav', 0, ['shorter than the sweep'], ['[unreliable: shorter than the sweep']),
        ('late', 'late.wav', 's.wav', 0, ['outside the response kept'], ['response outside the cut']),
        ('prime length', 'prime.wav', 's.wav', 0, [], ['delay %d frames' % delay]),
        ('odd stereo', 'odd-stereo.wav', 's.wav', 0, [], ['channel 2: delay %d frames' % delay]),
        ('header claims too much', 'claims.wav', 's.wav', 0, [], ['delay %d frames' % delay]),
        ('edited sweep of the same length', 'rec.wav', 'edited.wav', 1, ['does not hold the sweep it names'], []),
        ('sweep file naming a narrow band', 'rec.wav', 'narrow.wav', 1, ['no flat part'], []),
        ('sweep file longer than any sweep', 'rec.wav', 'huge-sweep.wav', 1, ['is longer than any sweep'], []),
    ]:
        before = snapshot()
        code, out, err, _ = run('deconvolve', rec, '--sweep', sweep_file, 'm.wav')
        made = ('m.wav', 'm.csv', 'm.svg')
        difference = unchanged(before, made if want == 0 else ())
        ok = code == want and all(t in err for t in texts) and all(t in out for t in stdout_texts) and not difference
        check(ok, 'deconvolve of a %s recording: exit %d (want %d) %r %r %s' % (name, code, want, out, err,
                                                                              difference))
        for m in made:
            if os.path.exists(m):
                os.remove(m)

    # A whole run: every output written, the flat band marked, time zero named;
    # the files that were there replaced together and nothing else left.
    before = snapshot()
    code, out, err, _ = run('deconvolve', 'rec.wav', '--sweep', 's.wav', 'old.wav', '--harmonics', '2')
    after = snapshot()
    replaced = all(after['./' + n][0] != before['./' + n][0] for n in ['old.wav', 'old-h2.wav', 'old.csv', 'old.svg'])
    check(code == 0 and replaced and set(after) == set(before), 'a run replaces all four files and leaves no other: %s' % err)
    header = open('old.csv').read().splitlines()
    flat = [line for line in header[1:] if line.endswith(',1')]
    # The table's frequencies are printed to 1/1000 Hz.
    check(header[0] == 'Hz,dB,degrees,flat' and flat and float(flat[0].split(',')[0]) >= 20 * math.sqrt(2) - 0.001 and
          float(flat[-1].split(',')[0]) <= 20000 / 2 ** (1 / 6) and header[1].endswith(',0') and
          header[-1].endswith(',0'), 'the table marks the flat band: %s ... %s' % (flat[0], flat[-1]))
    check('flat band' in open('old.svg').read(), 'the plot marks the flat band')
    check('time zero is frame ' in out and 'delay %d frames' % delay in out, 'time zero and delay printed: %s' % out)

    sys.exit(1 if failures else 0)


main()
