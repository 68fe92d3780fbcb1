#!/usr/bin/env python3
"""zelvaro-render on compressed WAV files. In the Windows build (under wine):
info and convert read the files sox and ffmpeg make, sample for sample as
their own decoders do; convert --format writes files that sox reads, whose
format chunk carries the codec's own extra bytes; a format no codec writes
ends in a message, a non-zero exit and no file. In the native build: a clear
refusal. In both: PCM and float files have the 18-byte format chunk of their
width and are read whole by sox and (PCM) Python's wave.

usage: cli_codec_test.py WORKDIR EMULATOR|"" zelvaro-render
Exits 77 (skipped) without sox."""

import os
import shutil
import struct
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


def layout(path):
    """The chunks of a file the tool wrote: (format chunk size, format record
    fields, extra bytes), after checking that the RIFF size covers the file
    and that one data chunk, sized to the end, follows the format chunk."""
    data = open(path, 'rb').read()
    riff, size, wave_id, fmt_id, fmt_size = struct.unpack_from('<4sI4s4sI', data)
    record = data[20:20 + fmt_size]
    data_id, data_size = struct.unpack_from('<4sI', data, 20 + fmt_size)
    whole = (riff, wave_id, fmt_id, data_id) == (b'RIFF', b'WAVE', b'fmt ', b'data') and size == len(data) - 8 and \
        data_size == len(data) - 28 - fmt_size
    fields = struct.unpack_from('<HHIIHHH', record) if fmt_size >= 18 else None
    return whole, fmt_size, fields, record[18:]


def check_layout(path, fmt_size, fields, extra=b''):
    """fields: (tag, channels, rate, byte rate, block align, bits, extra-byte count)."""
    whole, got_size, got_fields, got_extra = layout(path)
    check(whole and (got_size, got_fields, got_extra) == (fmt_size, fields, extra),
          f'{path}: format chunk of {got_size} bytes {got_fields} {got_extra[:8].hex()} (whole: {whole}); '
          f'wanted {fmt_size} bytes {fields} {extra.hex()}')


def pcm_checks():
    """PCM and float output: the 18-byte format chunk with the fields of the
    width, read back by Python's wave (PCM) and sox with every frame."""
    channels, rate, frames = frames_of('stereo.wav')
    want = len(frames) // (2 * channels)
    for option, tag, width in [(['--bits', '8'], 1, 1), ([], 1, 2), (['--bits', '24'], 1, 3), (['--bits', '32'], 1, 4),
                               (['--float'], 3, 4)]:
        out = f'out_pcm_{tag}_{width}.wav'
        r = render('convert', 'stereo.wav', out, *option)
        check(r.returncode == 0, f'convert {" ".join(option)} ({r.stderr.strip()})')
        if r.returncode != 0:
            continue
        check_layout(out, 18, (tag, channels, rate, rate * channels * width, channels * width, 8 * width, 0))
        if tag == 1:
            with wave.open(out) as w:
                check((w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()) ==
                      (channels, width, rate, want), f"Python's wave reads {out} as {w.getparams()}")
        stat = tool('sox', out, '-n', 'stat')
        read = int([l for l in stat.splitlines() if l.startswith('Samples read')][0].split(':')[1]) // channels
        check(read == want, f'sox reads {read} frames of {out} (wanted {want})')


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
        # The format record carries the codec's own extra bytes and no more.
        ch, hz = int(channels), int(rate)
        if word == 'ima-adpcm':
            align = struct.unpack_from('<H', open(out, 'rb').read(), 32)[0]
            per_block = (align - 4 * ch) * 2 // ch + 1
            check_layout(out, 20, (0x11, ch, hz, hz * align // per_block, align, 4, 2), struct.pack('<H', per_block))
        elif word in ('alaw', 'mulaw'):
            check_layout(out, 18, (6 if word == 'alaw' else 7, ch, hz, hz * ch, ch, 8, 0))
        else:
            check_layout(out, 20, (0x31, 1, 8000, 1625, 65, 0, 2), struct.pack('<H', 320))
        stat = tool('sox', out, '-n', 'stat')
        read = int([l for l in stat.splitlines() if l.startswith('Samples read')][0].split(':')[1]) // int(channels)
        want = len(frames_of(src + '.wav')[2]) // (2 * int(channels))
        check(read >= want, f'sox reads {read} frames of {out}, at least the {want} written')

    pcm_checks()

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
    tool('sox', '-n', '-r', '22050', '-c', '2', '-b', '16', 'stereo.wav', 'synth', '0.6', 'sine', '300-5000',
         'sine', '523')
    pcm_checks()
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
