#!/usr/bin/env python3
"""zelvaro-render on compressed WAV files. In the Windows build (under wine):
info and convert read the files sox and ffmpeg make, sample for sample as
their own decoders do; convert --format writes files that sox reads; a format
no codec writes ends in a message, a non-zero exit and no file. In the native
build: a clear refusal.

usage: cli_codec_test.py WORKDIR EMULATOR|"" zelvaro-render
Exits 77 (skipped) without sox."""

import os
import shutil
import subprocess
import sys
import wave

WORK, EMULATOR, RENDER = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
WINDOWS = RENDER.endswith('.exe')
failures = []


def check(ok, what):
    print(('ok      ' if ok else 'FAILED  ') + what)
    if not ok:
        failures.append(what)


def render(*args):
    cmd = ([EMULATOR] if EMULATOR else []) + [RENDER, *args]
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, stdin=subprocess.DEVNULL,
                          timeout=300)


def tool(*args):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300)
    if r.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed:\n{r.stdout}")
    return r.stdout


def frames_of(path):
    with wave.open(path) as w:
        return w.getnchannels(), w.getframerate(), w.readframes(w.getnframes())


def make_inputs():
    tool('sox', '-n', '-r', '8000', '-c', '1', '-b', '16', 'mono.wav', 'synth', '1.3', 'sine', '200-3000')
    tool('sox', '-n', '-r', '22050', '-c', '2', '-b', '16', 'stereo.wav', 'synth', '0.6', 'sine', '300-5000',
         'sine', '523')
    rows = []
    for name, src, enc, tag in [('ima', 'stereo', 'ima-adpcm', '17 (IMA ADPCM)'), ('alaw', 'stereo', 'a-law', '6 (A-law)'),
                                ('mulaw', 'mono', 'u-law', '7 (mu-law)'), ('gsm', 'mono', 'gsm-full-rate', '49 (GSM 6.10)')]:
        tool('sox', src + '.wav', '-e', enc, name + '.wav')
        tool('sox', name + '.wav', '-e', 'signed-integer', '-b', '16', name + '.ref.wav')
        rows.append((name, tag))
    if shutil.which('ffmpeg'):
        tool('ffmpeg', '-nostdin', '-loglevel', 'error', '-y', '-i', 'stereo.wav', '-c:a', 'adpcm_ms', 'msadpcm.wav')
        tool('ffmpeg', '-nostdin', '-loglevel', 'error', '-y', '-i', 'msadpcm.wav', '-c:a', 'pcm_s16le',
             'msadpcm.ref.wav')
        rows.append(('msadpcm', '2 (Microsoft ADPCM)'))
    return rows


def windows_checks():
    for name, tag in make_inputs():
        info = render('info', name + '.wav')
        channels, rate, ref = frames_of(name + '.ref.wav')
        ref_frames = len(ref) // (2 * channels)
        check(info.returncode == 0 and f'format tag:      {tag}' in info.stdout and
              f'length:          {ref_frames} frames' in info.stdout, f'info {name}: {info.stdout!r}')
        r = render('convert', name + '.wav', name + '.out.wav')
        ok = r.returncode == 0 and frames_of(name + '.out.wav') == (channels, rate, ref)
        check(ok, f'convert {name} to 16-bit PCM equals the reference decode ({r.stderr.strip()})')

    # Compressed output: sox reads what was written, every frame included.
    for word, src, encoding, channels, rate in [('ima-adpcm', 'stereo', 'IMA ADPCM', '2', '22050'),
                                                ('alaw', 'stereo', 'A-law', '2', '22050'),
                                                ('mulaw', 'mono', 'u-law', '1', '8000'),
                                                ('gsm', 'mono', 'GSM', '1', '8000')]:
        out = f'out_{word}.wav'
        r = render('convert', src + '.wav', out, '--format', word)
        check(r.returncode == 0 and os.path.exists(out), f'convert --format {word} ({r.stderr.strip()})')
        if r.returncode != 0:
            continue
        info = tool('sox', '--i', out)
        check(encoding in info and f'Channels       : {channels}' in info and f'Sample Rate    : {rate}' in info,
              f'sox --i {out}: {info!r}')
        stat = tool('sox', out, '-n', 'stat')
        read = int([l for l in stat.splitlines() if l.startswith('Samples read')][0].split(':')[1]) // int(channels)
        want = len(frames_of(src + '.wav')[2]) // (2 * int(channels))
        check(read >= want, f'sox reads {read} frames of {out}, at least the {want} written')

    # GSM is mono only: without --channels, a stereo input is written in mono.
    r = render('convert', 'stereo.wav', 'gsm_from_stereo.wav', '--format', 'gsm')
    check(r.returncode == 0 and 'Channels       : 1' in tool('sox', '--i', 'gsm_from_stereo.wav'),
          f'GSM from stereo falls back to one channel ({r.stderr.strip()})')

    # A format no codec writes: a message, exit 1, and an existing file kept.
    with open('kept.wav', 'wb') as f:
        f.write(b'precious')
    r = render('convert', 'stereo.wav', 'kept.wav', '--format', 'gsm', '--channels', '2')
    check(r.returncode == 1 and 'no installed codec writes GSM 6.10 at 22050 Hz with 2 channels, nor at a lower '
          'standard rate\n' in r.stderr and
          open('kept.wav', 'rb').read() == b'precious', f'unwritable format refused: {r.returncode} {r.stderr!r}')
    r = render('convert', 'mono.wav', 'never.wav', '--format', 'gsm', '--rate', '8000', '--channels', '2')
    check(r.returncode == 1 and not os.path.exists('never.wav'), f'no file for an unwritable format: {r.stderr!r}')
    r = render('convert', 'stereo.wav', '-', '--format', 'gsm')
    check(r.returncode == 2 and r.stderr == 'zelvaro-render: compressed files cannot be written to standard output\n'
          and r.stdout == '', f'no compressed file to standard output: {r.stderr!r}')
    r = render('convert', 'stereo.wav', 'never.wav', '--format', 'alaw', '--bits', '8')
    check(r.returncode == 2 and '--bits applies to PCM output only' in r.stderr and not os.path.exists('never.wav'),
          f'--bits with a compressed format refused: {r.stderr!r}')


def native_checks():
    tool('sox', '-n', '-r', '8000', '-c', '1', '-b', '16', 'mono.wav', 'synth', '0.1', 'sine', '440')
    tool('sox', 'mono.wav', '-e', 'ima-adpcm', 'ima.wav')
    r = render('convert', 'mono.wav', 'never.wav', '--format', 'ima-adpcm')
    check(r.returncode == 2 and 'need the Windows build' in r.stderr and not os.path.exists('never.wav'),
          f'compressed output refused without codecs: {r.stderr!r}')
    r = render('convert', 'ima.wav', 'never.wav')
    check(r.returncode == 1 and 'format tag 17 (IMA ADPCM), which no installed codec decodes' in r.stderr,
          f'compressed input refused without codecs: {r.stderr!r}')
    r = render('info', 'ima.wav')
    check(r.returncode == 0 and 'unknown (no decoder for this format)' in r.stdout, f'info without codecs: {r.stdout!r}')


def main():
    if not shutil.which('sox'):
        print('sox is not installed: skipped')
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    os.chdir(WORK)
    windows_checks() if WINDOWS else native_checks()
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
