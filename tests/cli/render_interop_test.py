#!/usr/bin/env python3
"""zelvaro-render against the outside world: the files it writes must read back
in sox and in Python's wave module, the files sox writes must convert sample
for sample as the conversion rules say, and every failure must end in a
message and a non-zero exit rather than in a file that looks complete.

usage: render_interop_test.py PATH/TO/zelvaro-render
Without sox only the exit-code and message checks run, and a clean such run
exits 77 (skipped)."""

import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import wave

RENDER = os.path.abspath(sys.argv[1])
SOURCE_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
FLAG_SWEEP, FLAG_LOG, FLAG_STEREO, FLAG_FIXED = 1, 2, 4, 8
SINE, SQUARE, PINK = 0, 1, 6
NO_DURATION_TEXT = ("Tones can only be saved as wav files if they are a fixed duration tone.\n\n"
                    "Select the Constant (Specified Duration) or Sweep items from the Tones menu.")


def tone_file(path, flags, waveform, duration_ms, left, right=None, end_left=None, end_right=None):
    """The 536-byte tone record, little-endian, field by field."""
    count = len(left)
    right = right or left
    pad = lambda xs: list(xs) + [0.0] * (16 - len(xs))
    body = struct.pack('<HBBI', flags, waveform, count, duration_ms)
    for column in (left, end_left or left, right, end_right or right):
        body += struct.pack('<16d', *pad(column))
    body += struct.pack('<16b', *([0] * 16))
    assert len(body) == 536
    with open(path, 'wb') as f:
        f.write(body)
    return path


def run(*args):
    return subprocess.run([RENDER, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          stdin=subprocess.DEVNULL, timeout=300)


def sox(*args):
    return subprocess.run(['sox', *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=300)


def read_wav(path):
    """(format tag, channels, rate, bits, samples as ints) by walking the chunks."""
    data = open(path, 'rb').read()
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', path
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b'fmt ':
            fmt = struct.unpack_from('<HHIIHH', body)
        elif cid == b'data':
            samples = body
        pos += 8 + size + (size & 1)
    tag, channels, rate, _, _, bits = fmt
    width = bits // 8 if bits % 8 == 0 else None
    codes = {1: 'B', 2: 'h', 4: 'i'}
    values = list(struct.unpack('<%d%s' % (len(samples) // width, codes[width]), samples[:len(samples) // width * width]))
    return tag, channels, rate, bits, values


def to_int32(bits, s):
    # 32-bit input is held at the 16-bit full scale (32767 * 16) rather than
    # rounding up to 2^19, which a 16-bit output would wrap to -32768.
    return {8: lambda: (s - 128) * 2048, 16: lambda: s * 16, 32: lambda: min((s + 2048) >> 12, 524272)}[bits]()


def from_int32(bits, v):
    if bits == 8:
        return (((v + 1024) >> 11) + 128) & 0xFF
    if bits == 16:
        r = ((v + 8) >> 4) & 0xFFFF
        return r - 0x10000 if r >= 0x8000 else r
    r = (v << 12) & 0xFFFFFFFF
    return r - 0x100000000 if r >= 0x80000000 else r


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def case(self, name, fn):
        try:
            fn()
            self.passed += 1
            print('ok    ' + name)
        except AssertionError as e:
            self.failed += 1
            print('FAIL  %s: %s' % (name, e))


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def checks_without_sox(checks, tmp, p, sine):
    """Exit codes and messages: these need nothing but the tool itself."""
    def failures_are_reported():
        continuous = tone_file(p('continuous.tdf'), 0, SINE, 1000, [1000.0])
        zero_ms = tone_file(p('zero.tdf'), FLAG_FIXED, SINE, 0, [1000.0])
        twenty_hours = tone_file(p('twenty.tdf'), FLAG_FIXED, SINE, 20 * 3600 * 1000, [1000.0])
        longest = tone_file(p('longest.tdf'), FLAG_FIXED, SINE, 0xFFFFFFFF, [1000.0])
        open(p('not-a-wav.wav'), 'wb').write(b'RIFF\x04\0\0\0WAVEjunk')
        expect(run('render', sine, p('same.wav')).returncode == 0, 'render failed')
        rows = [
            (['render', p('missing.tdf'), p('a.wav')], 1, 'missing.tdf'),
            (['render', continuous, p('a.wav')], 2, NO_DURATION_TEXT),
            (['render', zero_ms, p('a.wav')], 2, "the tone's duration is 0 ms"),
            # Beyond the generators' int32 count: refused, not cut to 13.5 hours.
            (['render', twenty_hours, p('a.wav')], 2, 'too long'),
            (['render', twenty_hours, p('a.wav'), '--bits', '8'], 2, 'too long'),
            # Fits the file at 8000 Hz, but the generator stops at 13.5 hours.
            (['render', twenty_hours, p('a.wav'), '--rate', '8000'], 2, 'too long: it has'),
            (['render', longest, p('a.wav'), '--bits', '8'], 2, 'too long'),
            (['render', sine, p('a.wav'), '--bits', '12'], 2, '--bits takes 8, 16, 24 or 32'),
            (['render', sine, p('a.wav'), '--rate', '44.1k'], 2, '--rate takes'),
            (['render', sine, p('a.wav'), '--rate', '-1'], 2, '--rate takes'),
            (['render', sine, p('a.wav'), '-x'], 2, 'unknown option'),
            (['render', sine, p('a.wav'), '--channels', '3'], 2, '--channels takes'),
            (['render', sine, p('a.wav'), '--seed', '4294967296'], 2, '--seed takes'),
            (['render', sine], 2, 'missing arguments'),
            (['render', sine, p('no-folder/a.wav')], 1, 'cannot create'),
            (['convert', p('missing.wav'), p('a.wav')], 1, 'missing or unreadable'),
            (['convert', p('not-a-wav.wav'), p('a.wav')], 1, 'is not a WAV file'),
            (['convert', p('same.wav'), p('same.wav')], 2, 'same file'),
            (['info', tmp], 1, 'missing or unreadable'),
            (['frobnicate'], 2, 'unknown command'),
        ]
        for args, code, text in rows:
            r = run(*args)
            expect(r.returncode == code, '%r exited %d, not %d: %s' % (args[:3], r.returncode, code, r.stderr))
            expect(text in r.stderr, '%r: %r not in %r' % (args[:3], text, r.stderr))
            expect(not os.path.exists(p('a.wav')), '%r left a file' % (args[:3],))
        expect(os.path.getsize(p('same.wav')) == 46 + 88200, 'converting a file onto itself damaged it')
        r = run('--help')
        expect(r.returncode == 0 and 'zelvaro-render render' in r.stdout, 'no help')
        # The version the splash and the file properties show.
        header = open(os.path.join(SOURCE_ROOT, 'src', 'base', 'product_version.h')).read()
        version = re.search(r'ZELVARO_VERSION_TEXT "([^"]+)"', header).group(1)
        r = run('--version')
        expect(r.returncode == 0 and r.stdout == 'zelvaro-render %s (Zelvaro, distributed by Quorrel)\n' % version,
               '--version: %d %r' % (r.returncode, r.stdout))
    checks.case('bad input ends in a message and a non-zero exit', failures_are_reported)

    def write_failures_are_reported():
        if os.path.exists('/dev/full'):
            r = run('render', sine, '/dev/full')
            expect(r.returncode == 1 and 'no space left on device' in r.stderr,
                   'disk full: %d %s' % (r.returncode, r.stderr))
            expect(os.path.exists('/dev/full'), 'the device was removed')
        if os.path.exists('/dev/null'):
            r = run('render', sine, '/dev/null')
            expect(r.returncode == 0, 'rendering into /dev/null: %d %s' % (r.returncode, r.stderr))
        # A regular file that fills up halfway: the file-size limit stands in
        # for a full disk (the signal it raises is ignored, so writes fail).
        def limit_file_size():
            resource.setrlimit(resource.RLIMIT_FSIZE, (40000, 40000))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        r = subprocess.run([RENDER, 'render', sine, p('full.wav')], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           text=True, stdin=subprocess.DEVNULL, timeout=300, preexec_fn=limit_file_size)
        expect(r.returncode == 1 and 'failed: file too large' in r.stderr,
               'file-size limit: %d %s' % (r.returncode, r.stderr))
        expect(not os.path.exists(p('full.wav')), 'a failed render left its short file')
        # Twelve hours of stereo 16-bit audio would pass 4 GiB of data.
        long_tone = tone_file(p('long.tdf'), FLAG_FIXED | FLAG_STEREO, SINE, 12 * 3600 * 1000, [1000.0])
        r = run('render', long_tone, p('long.wav'))
        expect(r.returncode == 2 and '4 GiB' in r.stderr, 'too long: %d %s' % (r.returncode, r.stderr))
        expect(not os.path.exists(p('long.wav')), 'a refused render left a file')
    checks.case('a full disk and a file past 4 GiB are refused', write_failures_are_reported)



def main():
    tmp = tempfile.mkdtemp(prefix='zelvaro-interop-')
    p = lambda name: os.path.join(tmp, name)
    checks = Checks()
    sine = tone_file(p('sine.tdf'), FLAG_FIXED, SINE, 1000, [1000.0])

    checks_without_sox(checks, tmp, p, sine)
    if shutil.which('sox') is None:
        shutil.rmtree(tmp, ignore_errors=True)
        print('%d passed, %d failed; sox is not installed: skipping the checks against sox'
              % (checks.passed, checks.failed))
        # A failure above is reported as one; only a clean run counts as skipped.
        return 1 if checks.failed else 77

    def written_files_read_back():
        peaks = {}
        for bits in (8, 16, 32):
            for channels in (1, 2):
                out = p('sine-%d-%d.wav' % (bits, channels))
                r = run('render', sine, out, '--bits', str(bits), '--channels', str(channels))
                expect(r.returncode == 0, 'render %d/%d: %s' % (bits, channels, r.stderr))
                with wave.open(out, 'rb') as w:
                    got = (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
                    expect(got == (channels, bits // 8, 44100, 44100), 'wave module sees %r' % (got,))
                    expect(w.readframes(44100) == open(out, 'rb').read()[46:], 'wave module data differs')
                info = [sox('--i', flag, out).stdout.strip() for flag in ('-c', '-r', '-b', '-s')]
                expect(info == [str(channels), '44100', str(bits), '44100'], 'sox --i says %r' % info)
                stat = sox(out, '-n', 'stat')
                expect(stat.returncode == 0, 'sox stat failed: ' + stat.stderr)
                fields = dict(l.split(':', 1) for l in stat.stderr.splitlines() if ':' in l)
                expect(int(fields['Samples read'].strip()) == 44100 * channels, 'sox read %s samples'
                       % fields['Samples read'])
                peaks[(bits, channels)] = float(fields['Maximum amplitude'].strip())
                if channels == 1:  # sox's estimate counts interleaved stereo as one signal
                    rough = float(fields['Rough   frequency'].strip())
                    expect(abs(rough - 1000) < 20, 'sox sees %s Hz' % rough)
        # One level in every file; an 8-bit step stands for 2048, half of a
        # 16-bit step times 256, so the same level reads twice as loud.
        level = peaks[(16, 1)]
        expect(level > 0.1, 'the tone is nearly silent: %s' % level)
        for (bits, channels), peak in peaks.items():
            want = 2 * level if bits == 8 else level
            expect(abs(peak - want) < 1.0 / 64, '%d bits, %d channels: peak %s, not %s' % (bits, channels, peak, want))
    checks.case('files written at 8, 16 and 32 bits read back in sox and wave', written_files_read_back)

    def other_tones_render():
        sixteen = tone_file(p('sixteen.tdf'), FLAG_FIXED | FLAG_STEREO, SINE, 500,
                            [100.0 * (i + 1) for i in range(16)], [150.0 * (i + 1) for i in range(16)])
        sweep = tone_file(p('sweep.tdf'), FLAG_SWEEP | FLAG_LOG | FLAG_FIXED, SINE, 700, [20.0], None, [20000.0])
        pink = tone_file(p('pink.tdf'), FLAG_FIXED, PINK, 300, [1000.0])
        for name, tdf, frames, channels in (('sixteen', sixteen, 22050, 2), ('sweep', sweep, 30870, 1),
                                            ('pink', pink, 13230, 1)):
            out = p(name + '.wav')
            r = run('render', tdf, out, '--seed', '7')
            expect(r.returncode == 0, '%s: %s' % (name, r.stderr))
            with wave.open(out, 'rb') as w:
                expect((w.getnchannels(), w.getnframes()) == (channels, frames),
                       '%s: %d channels, %d frames' % (name, w.getnchannels(), w.getnframes()))
            expect(sox(out, '-n', 'stat').returncode == 0, name + ': sox stat failed')
    checks.case('sixteen stereo tones, a log sweep and pink noise render', other_tones_render)

    def seed_fixes_the_noise():
        pink = tone_file(p('pink2.tdf'), FLAG_FIXED, PINK, 200, [1000.0])
        outs = []
        for i, seed in enumerate(('5', '5', '6')):
            outs.append(p('pink-%d.wav' % i))
            expect(run('render', pink, outs[-1], '--seed', seed).returncode == 0, 'render failed')
        data = [open(o, 'rb').read() for o in outs]
        expect(data[0] == data[1], 'the same seed gave different noise')
        expect(data[0] != data[2], 'different seeds gave the same noise')
    checks.case('--seed fixes the noise', seed_fixes_the_noise)

    # Files sox writes: (name, sox arguments before the output, effect)
    sox_inputs = [
        ('u8-mono', ['-b', '8', '-c', '1'], ['synth', '0.1', 'sine', '440']),
        ('s16-stereo-list', ['-b', '16', '-c', '2', '--comment', 'odd-sized comment'],
         ['synth', '0.1', 'sine', '440', 'sine', '660']),
        ('s32-stereo', ['-b', '32', '-c', '2', '-t', 'wavpcm'], ['synth', '0.1', 'whitenoise']),
        ('s32-mono-loud', ['-b', '32', '-c', '1', '-t', 'wavpcm'], ['synth', '0.1', 'square', '100']),
        ('s16-mono-noise', ['-b', '16', '-c', '1'], ['synth', '0.1', 'whitenoise']),
    ]

    def sox_files_convert_sample_for_sample():
        for name, fmt, effect in sox_inputs:
            src = p('sox-%s.wav' % name)
            made = sox('-n', '-r', '8000', *fmt, src, *effect)
            expect(made.returncode == 0, 'sox could not write %s: %s' % (name, made.stderr))
            _, in_ch, rate, in_bits, in_values = read_wav(src)
            # 8-bit outputs only from 8-bit inputs: louder inputs go through the peak limiter.
            for out_bits in ((8, 16, 32) if in_bits == 8 else (16, 32)):
                out = p('conv-%s-%d.wav' % (name, out_bits))
                r = run('convert', src, out, '--bits', str(out_bits))
                expect(r.returncode == 0, '%s -> %d bits: %s' % (name, out_bits, r.stderr))
                tag, ch, out_rate, bits, values = read_wav(out)
                expect((tag, ch, out_rate, bits) == (1, in_ch, rate, out_bits), '%s: header %r' % (name, (tag, ch, out_rate, bits)))
                want = [from_int32(out_bits, to_int32(in_bits, s)) for s in in_values]
                if values != want:
                    first = next((i for i, (a, b) in enumerate(zip(values, want)) if a != b), min(len(values), len(want)))
                    raise AssertionError('%s -> %d bits: samples differ from %d on' % (name, out_bits, first))
    checks.case('files sox writes convert sample for sample', sox_files_convert_sample_for_sample)

    def channel_conversion():
        stereo = p('sox-s16-stereo-list.wav')
        _, _, _, _, values = read_wav(stereo)
        r = run('convert', stereo, p('left.wav'), '--channels', '1')
        expect(r.returncode == 0, r.stderr)
        expect(read_wav(p('left.wav'))[4] == values[0::2], 'stereo to mono is not the left channel')
        mono = p('sox-s16-mono-noise.wav')
        _, _, _, _, values = read_wav(mono)
        r = run('convert', mono, p('both.wav'), '--channels', '2')
        expect(r.returncode == 0, r.stderr)
        got = read_wav(p('both.wav'))[4]
        expect(got[0::2] == values and got[1::2] == values, 'mono to stereo does not repeat each sample')
    checks.case('--channels 1 keeps the left channel, --channels 2 repeats mono', channel_conversion)

    def rate_conversion_keeps_the_pitch():
        r = run('render', sine, p('r48.wav'), '--rate', '48000')
        expect(r.returncode == 0, r.stderr)
        sox('-R', '-n', '-r', '8000', '-b', '16', p('in8k.wav'), 'synth', '0.5', 'sine', '440')
        r = run('convert', p('in8k.wav'), p('out44k.wav'), '--rate', '44100')
        expect(r.returncode == 0, r.stderr)
        for out, rate, pitch in ((p('r48.wav'), 48000, 1000), (p('out44k.wav'), 44100, 440)):
            expect(sox('--i', '-r', out).stdout.strip() == str(rate), '%s is not at %d Hz' % (out, rate))
            stat = dict(l.split(':', 1) for l in sox(out, '-n', 'stat').stderr.splitlines() if ':' in l)
            rough = float(stat['Rough   frequency'])
            expect(abs(rough - pitch) < pitch / 50, '%s: %s Hz, not %d' % (out, rough, pitch))
    checks.case('--rate resamples without changing the pitch', rate_conversion_keeps_the_pitch)

    def info_describes_files():
        expect(run('render', sine, p('info.wav'), '--channels', '2').returncode == 0, 'render failed')
        r = run('info', p('info.wav'))
        expect(r.returncode == 0, r.stderr)
        for line in ('format tag:      1 (PCM)', 'channels:        2', 'sample rate:     44100 Hz',
                     'bits per sample: 16', 'length:          44100 frames (1.000 s)'):
            expect(line in r.stdout, 'info lacks %r:\n%s' % (line, r.stdout))
        sox('-n', '-r', '8000', '-e', 'a-law', p('alaw.wav'), 'synth', '0.1', 'sine', '440')
        r = run('info', p('alaw.wav'))
        expect(r.returncode == 0 and 'format tag:      6' in r.stdout and 'unknown' in r.stdout, r.stdout + r.stderr)
        r = run('convert', p('alaw.wav'), p('alaw-out.wav'))
        expect(r.returncode == 1 and 'format tag 6' in r.stderr, 'a-law convert: %d %s' % (r.returncode, r.stderr))
        expect(not os.path.exists(p('alaw-out.wav')), 'a refused convert left a file')
    checks.case('info shows format, rate, bits and length', info_describes_files)

    shutil.rmtree(tmp, ignore_errors=True)
    print('%d passed, %d failed' % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == '__main__':
    sys.exit(main())
