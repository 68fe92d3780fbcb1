#!/usr/bin/env python3
"""zelvaro-render's output: a file that was there survives every failure and
Ctrl+C, standard output, pipes and FIFOs get a whole WAV file and nothing else,
a file-size limit is a reported write error, 24-bit input is read as such, and
PCM of 9 to 31 bits as the whole bytes its samples take.

usage: cli_output_test.py [EMULATOR] PATH/TO/zelvaro-render
With an emulator (the Windows build under wine) the checks that need POSIX
(file-size limits, signals, FIFOs, /dev/stdout, terminals) are left out."""

import glob
import os
import pty
import resource
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from render_interop_test import (FLAG_FIXED, FLAG_STEREO, SINE, Checks, expect,  # noqa: E402
                                 tone_file)

RENDER = os.path.abspath(sys.argv[-1])
EMULATOR = sys.argv[1] if len(sys.argv) > 2 and sys.argv[1] else None
if EMULATOR and os.sep in EMULATOR:
    EMULATOR = os.path.abspath(EMULATOR)


def run(*args, **kwargs):
    kwargs.setdefault('stdout', subprocess.PIPE)
    return subprocess.run(([EMULATOR] if EMULATOR else []) + [RENDER, *args], stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=300, **kwargs)


def data_size_field(data):
    """The size field of the data chunk of a file the tool wrote (46-byte header)."""
    return struct.unpack_from('<I', data, 42)[0]


def content(path):
    """The bytes of a file, or None when there is none."""
    try:
        with open(path, 'rb') as f:
            return f.read()
    except OSError:
        return None


def main():
    tmp = tempfile.mkdtemp(prefix='zelvaro-output-')
    # Names relative to the work folder, which a program under wine takes as well.
    os.chdir(tmp)
    p = lambda name: name
    checks = Checks()
    # Twenty seconds at 8000 Hz in 8 bits: past the 16-second header refresh.
    sine = tone_file(p('sine.tdf'), FLAG_FIXED, SINE, 20000, [440.0])
    small = ['--rate', '8000', '--bits', '8']
    expect(run('render', sine, p('reference.wav'), *small).returncode == 0, 'the reference render failed')
    reference = open(p('reference.wav'), 'rb').read()
    frames = data_size_field(reference)
    expect(len(reference) == 46 + frames and frames > 8000 * 19, 'the reference is not whole')
    kept = b'RIFF a file the user wants to keep'

    def no_temporary_files():
        left = glob.glob(p('*.tmp'))
        expect(not left, 'temporary files left: %r' % left)

    def existing_file_survives_every_failure():
        twelve_hours = tone_file(p('long.tdf'), FLAG_FIXED | FLAG_STEREO, SINE, 12 * 3600 * 1000, [1000.0])
        six = p('six.wav')
        with wave.open(six, 'wb') as w:
            w.setnchannels(6)
            w.setsampwidth(2)
            w.setframerate(8000)
            w.writeframes(bytes(6 * 2 * 100))

        def limit_file_size():  # the tool itself must keep SIGXFSZ from killing it
            resource.setrlimit(resource.RLIMIT_FSIZE, (40000, 40000))
        rows = [  # (arguments, exit code, text in the message, setup of the child)
            (['render', twelve_hours, p('keep.wav')], 2, '4 GiB', None),
            (['convert', six, p('keep.wav'), '--channels', '1'], 2, 'cannot convert 6 channels to 1', None),
            (['render', p('keep.wav'), p('keep.wav')], 2, 'are the same file', None),
        ]
        if not EMULATOR:
            rows.append((['render', sine, p('keep.wav')], 1, 'writing %s failed: file too large; %s was left as it '
                         'was' % (p('keep.wav'), p('keep.wav')), limit_file_size))
        for args, code, text, setup in rows:
            open(p('keep.wav'), 'wb').write(kept)
            r = run(*args, preexec_fn=setup)
            err = r.stderr.decode()
            expect(r.returncode == code, '%r exited %d, not %d: %s' % (args[:2], r.returncode, code, err))
            expect(text in err, '%r: %r not in %r' % (args[:2], text, err))
            expect(content(p('keep.wav')) == kept, '%r changed the file that was there' % (args[:2],))
            no_temporary_files()
        # A tone file is never overwritten by its own render.
        same = tone_file(p('self.tdf'), FLAG_FIXED, SINE, 100, [440.0])
        before = open(same, 'rb').read()
        r = run('render', same, same)
        expect(r.returncode == 2 and content(same) == before, 'render onto the tone file: %d' % r.returncode)
        if EMULATOR:
            r = run('render', sine, p('no-folder/a.wav'))
            expect(r.returncode == 1 and b'cannot create no-folder/a.wav: ' in r.stderr, r.stderr.decode())
            return
        # Without a file there before, a failure leaves none.
        r = run('render', sine, p('new.wav'), preexec_fn=limit_file_size)
        expect(r.returncode == 1 and not os.path.exists(p('new.wav')), 'a failed render left a file')
        no_temporary_files()
        r = run('render', sine, p('no-folder/a.wav'))
        expect(r.returncode == 1 and b'no such file or directory' in r.stderr, r.stderr.decode())
    checks.case('a file that was there survives refusals and write errors', existing_file_survives_every_failure)

    def interrupt_when_rendering(out):
        """Starts a two-hour render into `out`, sends Ctrl+C once its temporary
        file has data, and returns the finished process and its stderr."""
        two_hours = tone_file(p('two-hours.tdf'), FLAG_FIXED, SINE, 2 * 3600 * 1000, [440.0])
        child = subprocess.Popen([RENDER, 'render', two_hours, out, *small], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.time() + 60
        while time.time() < deadline and child.poll() is None:
            temps = glob.glob(out + '.*.tmp')
            if temps and os.path.getsize(temps[0]) > 46 + 8192:
                break
            time.sleep(0.01)
        child.send_signal(signal.SIGINT)
        _, err = child.communicate(timeout=120)
        return child.returncode, err.decode()

    def ctrl_c_keeps_what_was_there():
        open(p('keep.wav'), 'wb').write(kept)
        code, err = interrupt_when_rendering(p('keep.wav'))
        expect(code == 130 and 'was left as it was' in err, 'Ctrl+C over a file: %d %s' % (code, err))
        expect(content(p('keep.wav')) == kept, 'Ctrl+C replaced the file that was there')
        no_temporary_files()
        # A new name keeps the part rendered so far, as a whole file.
        code, err = interrupt_when_rendering(p('part.wav'))
        expect(code == 130 and 'holds the first' in err, 'Ctrl+C on a new file: %d %s' % (code, err))
        part = open(p('part.wav'), 'rb').read()
        expect(len(part) > 46 and data_size_field(part) == len(part) - 46, 'the kept part is not a whole file')
        no_temporary_files()
    if not EMULATOR:
        checks.case('Ctrl+C never replaces a file that was there', ctrl_c_keeps_what_was_there)

    def standard_output_and_pipes():
        r = run('render', sine, '-', *small)
        expect(r.returncode == 0 and r.stdout == reference, '- gave %d bytes: %s' % (len(r.stdout), r.stderr))
        expect(b'%d frames' % frames in r.stderr, 'the summary is not on stderr: %r' % r.stderr)
        with open(p('from-stdout.wav'), 'wb') as f:
            r = run('render', sine, '-', *small, stdout=f)
        expect(r.returncode == 0 and content(p('from-stdout.wav')) == reference,
               '- into a file: %d %s' % (r.returncode, r.stderr))
        # A converted stream has its length from the start as well.
        r = run('convert', p('reference.wav'), '-', '--bits', '16')
        expect(r.returncode == 0 and data_size_field(r.stdout) == 2 * frames and len(r.stdout) == 46 + 2 * frames,
               'convert to a pipe: %d bytes: %s' % (len(r.stdout), r.stderr))
        if EMULATOR:
            return
        with open(p('redirected.wav'), 'wb') as f:
            r = run('render', sine, '/dev/stdout', *small, stdout=f)
        expect(r.returncode == 0 and content(p('redirected.wav')) == reference,
               '/dev/stdout into a file: %d %s' % (r.returncode, r.stderr))
        # /dev/stdout as a pipe: the header cannot be rewritten, so it must be right at once.
        r = run('render', sine, '/dev/stdout', *small)
        expect(r.returncode == 0 and r.stdout == reference, '/dev/stdout as a pipe: %d bytes, %d: %s'
               % (len(r.stdout), r.returncode, r.stderr))
        fifo = p('fifo')
        os.mkfifo(fifo)
        got = []
        reader = threading.Thread(target=lambda: got.append(open(fifo, 'rb').read()))
        reader.start()
        time.sleep(0.2)  # the tool opens the FIFO without waiting for a reader
        r = run('render', sine, fifo, *small)
        reader.join(60)
        expect(r.returncode == 0 and got == [reference], 'FIFO: %d %s' % (r.returncode, r.stderr))
        expect(os.path.exists(fifo) and not os.path.isfile(fifo), 'the FIFO was replaced')
        master, slave = pty.openpty()
        r = run('render', sine, '-', stdout=slave)
        os.close(slave)
        os.close(master)
        expect(r.returncode == 2 and b'terminal' in r.stderr, 'a WAV file went to a terminal: %r' % r.stderr)
    checks.case('standard output, pipes and FIFOs get the whole file and nothing else', standard_output_and_pipes)

    def twenty_four_bit_input():
        values = [0, 1, -1, 0x123456, -0x123456, 0x7FFFFF, -0x800000, 127, 128, -129]
        with wave.open(p('in24.wav'), 'wb') as w:
            w.setnchannels(1)
            w.setsampwidth(3)
            w.setframerate(8000)
            w.writeframes(b''.join(struct.pack('<i', v)[:3] for v in values))
        r = run('info', p('in24.wav'))
        out = r.stdout.decode()
        expect(r.returncode == 0 and 'bits per sample: 24' in out and '10 frames' in out, out + r.stderr.decode())
        r = run('convert', p('in24.wav'), p('out16.wav'), '--bits', '16')
        expect(r.returncode == 0, r.stderr.decode())
        with wave.open(p('out16.wav'), 'rb') as w:
            got = list(struct.unpack('<%dh' % w.getnframes(), w.readframes(w.getnframes())))
        # Through the chain's scale: (s * 256 + 2048) >> 12 held at 524272, then (v + 8) >> 4.
        want = [(min((v * 256 + 2048) >> 12, 524272) + 8) >> 4 for v in values]
        expect(got == want, '24-bit samples came out as %r, not %r' % (got, want))
        # Plain PCM whose width does not fill its samples converts exactly as
        # the same bytes marked at full width; above 32 bits, a clear refusal.
        raw = bytes(range(7, 7 + 48))  # low bits set throughout
        for bits, full in ((12, 16), (20, 24), (28, 32), (40, None)):
            width = (bits + 7) // 8
            for marked in (bits, full):
                if marked is None:
                    continue
                header = struct.pack('<4sI4s4sIHHIIHH4sI', b'RIFF', 36 + len(raw), b'WAVE', b'fmt ', 16,
                                     1, 2, 8000, 16000 * width, 2 * width, marked, b'data', len(raw))
                open(p('in%d.wav' % marked), 'wb').write(header + raw)
            r = run('convert', p('in%d.wav' % bits), p('out%d.wav' % bits))
            if full is None:
                expect(r.returncode == 1 and b'has 40-bit samples; this tool reads PCM samples of up to 32 bits'
                       in r.stderr, r.stderr.decode())
                expect(not os.path.exists(p('out40.wav')), 'a refused convert left a file')
                continue
            expect(r.returncode == 0, '%d-bit input: %s' % (bits, r.stderr.decode()))
            r = run('convert', p('in%d.wav' % full), p('full%d.wav' % full))
            expect(r.returncode == 0 and content(p('out%d.wav' % bits)) == content(p('full%d.wav' % full)),
                   '%d-bit samples in %d bytes do not convert as %d-bit ones' % (bits, width, full))
    checks.case('24-bit input is read as 24-bit, narrower widths as their whole bytes, wider ones refused',
                twenty_four_bit_input)

    for name in glob.glob(p('*')):
        os.remove(name)
    os.chdir("/")
    os.rmdir(tmp)
    print('%d passed, %d failed' % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == '__main__':
    sys.exit(main())
