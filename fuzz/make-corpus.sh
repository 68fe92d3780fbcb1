#!/usr/bin/env bash
# Rebuilds the seed corpus in fuzz/corpus: small WAV files written by sox in
# several layouts, by zelvaro-render, and variants of them with the chunk
# layouts the reader has to cope with. Needs sox and python3.
#
#   fuzz/make-corpus.sh PATH/TO/zelvaro-render
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
render=${1:?usage: make-corpus.sh PATH/TO/zelvaro-render}
out=$here/corpus
mkdir -p "$out"
cd "$out"

# sox: 0.05 s at 8000 Hz keeps each file under 4 KB.
sox -R -n -r 8000 -b 16 -c 1 sox-s16-mono.wav synth 0.05 sine 440
sox -R -n -r 8000 -b 16 -c 2 sox-s16-stereo.wav synth 0.05 sine 440 sine 660
sox -R -n -r 8000 -b 8 -c 1 sox-u8-mono.wav synth 0.05 sine 440
sox -R -n -r 8000 -b 8 -c 2 sox-u8-stereo.wav synth 0.05 square 300 sine 500
sox -R -n -r 8000 -b 32 -c 1 -t wavpcm sox-s32-mono.wav synth 0.05 sine 440
sox -R -n -r 8000 -b 32 -c 2 -t wavpcm sox-s32-stereo.wav synth 0.05 whitenoise
sox -R -n -r 8000 -b 24 -c 1 -t wavpcm sox-s24-mono.wav synth 0.03 sine 440
sox -R -n -r 8000 -b 32 -c 2 sox-s32-stereo-extensible.wav synth 0.02 sine 440
sox -R -n -r 8000 -b 16 -c 3 sox-s16-3ch-extensible.wav synth 0.02 sine 440
sox -R -n -r 11025 -b 16 -c 1 --comment "odd" sox-s16-mono-list.wav synth 0.05 sine 440
sox -R -n -r 8000 -e a-law -c 1 sox-alaw-mono.wav synth 0.05 sine 440
sox -R -n -r 8000 -e floating-point -b 32 -c 1 sox-f32-mono.wav synth 0.03 sine 440
sox -R -n -r 8000 -e floating-point -b 64 -c 2 sox-f64-stereo.wav synth 0.02 sine 440 sine 660
sox -R -n -r 8000 -b 24 -c 2 sox-s24-stereo-extensible.wav synth 0.02 sine 440

# zelvaro-render: the project's own writer, 8, 16 and 32 bits, mono and stereo.
"$render" convert sox-s16-mono.wav zelvaro-u8-mono.wav --bits 8 >/dev/null
"$render" convert sox-s16-stereo.wav zelvaro-s16-stereo.wav >/dev/null
"$render" convert sox-s16-mono.wav zelvaro-s32-stereo.wav --bits 32 --channels 2 >/dev/null
"$render" convert sox-u8-stereo.wav zelvaro-s16-mono.wav --channels 1 >/dev/null

# Layout variants made from those files.
python3 - <<'PY'
import struct

def chunks(data):
    """(id, body) pairs of a RIFF WAVE file's chunks."""
    pos, out = 12, []
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        out.append((cid, data[pos + 8:pos + 8 + size]))
        pos += 8 + size + (size & 1)
    return out

def chunk(cid, body, size=None):
    return cid + struct.pack('<I', len(body) if size is None else size) + body + (b'\0' if len(body) & 1 else b'')

def riff(body, size=None):
    return b'RIFF' + struct.pack('<I', len(body) + 4 if size is None else size) + b'WAVE' + body

src = dict(chunks(open('zelvaro-s16-stereo.wav', 'rb').read()))
fmt16 = src[b'fmt '][:16]
data = src[b'data']
variants = {
    'layout-leading-junk.wav': chunk(b'JUNK', b'12345') + riff(chunk(b'fmt ', fmt16) + chunk(b'data', data)),
    'layout-odd-chunk-before-fmt.wav': riff(chunk(b'odd ', b'abc') + chunk(b'fmt ', fmt16) + chunk(b'data', data)),
    'layout-list-between.wav': riff(chunk(b'fmt ', fmt16) + chunk(b'LIST', b'INFOICMT\x05\0\0\0hello\0')
                                    + chunk(b'data', data)),
    'layout-data-larger-than-file.wav': riff(chunk(b'fmt ', fmt16) + chunk(b'data', data[:1000], 0x7FFFFFF0)),
    'layout-sizes-all-ones.wav': riff(chunk(b'fmt ', fmt16) + chunk(b'data', data[:600], 0xFFFFFFFF), 0xFFFFFFFF),
    'layout-data-before-fmt.wav': riff(chunk(b'data', data[:200]) + chunk(b'fmt ', fmt16)),
    'layout-fmt14.wav': riff(chunk(b'fmt ', fmt16[:14]) + chunk(b'data', data[:400])),
    'layout-fmt-odd-17.wav': riff(chunk(b'fmt ', fmt16 + b'\0') + chunk(b'data', data[:400])),
    'layout-zero-size-chunk.wav': riff(chunk(b'JUNK', b'') + chunk(b'fmt ', fmt16) + chunk(b'data', data[:100])),
    'layout-riff-avi-first.wav': riff(b'', 8)[:8] + b'AVI \0\0\0\0' + riff(chunk(b'fmt ', fmt16)
                                                                         + chunk(b'data', data[:100])),
    'layout-cut-in-header.wav': riff(chunk(b'fmt ', fmt16) + chunk(b'data', data))[:40],
}
# A writer stopped before its destructor: the header still states the
# provisional size, 32 seconds ahead of the data.
own = open('zelvaro-s16-mono.wav', 'rb').read()
provisional = (len(own) - 46 + 8000 * 32 * 2)
variants['layout-provisional-header.wav'] = (own[:4] + struct.pack('<I', provisional + 38) + own[8:42]
                                             + struct.pack('<I', provisional) + own[46:])

# Extensible records (valid bits, channel mask, sub-format GUID) of PCM with
# padded samples and of floats, and a float file with values past full scale.
GUID_TAIL = bytes([0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
def extensible(channels, bits, valid, sub_tag):
    align = channels * bits // 8
    return struct.pack('<HHIIHHHHIH', 0xFFFE, channels, 8000, align * 8000, align, bits, 22, valid,
                       3 if channels == 2 else 4, sub_tag) + GUID_TAIL
ramp = [((i * 2654435761) % 65536 - 32768) / 32768.0 for i in range(300)]
pcm24in32 = b''.join(struct.pack('<i', int(v * 8388607) << 8 | 0x5A) for v in ramp)
pcm20in24 = b''.join((int(v * 524287) << 4 | 0xF).to_bytes(3, 'little', signed=True) for v in ramp)
variants['ext-pcm24-in-32-stereo.wav'] = riff(chunk(b'fmt ', extensible(2, 32, 24, 1)) + chunk(b'data', pcm24in32))
variants['ext-pcm20-in-24-mono.wav'] = riff(chunk(b'fmt ', extensible(1, 24, 20, 1)) + chunk(b'data', pcm20in24))
variants['ext-float32-stereo.wav'] = riff(chunk(b'fmt ', extensible(2, 32, 32, 3))
                                          + chunk(b'data', struct.pack('<300f', *ramp)))
hot = [v * 3 for v in ramp[:100]] + [float('nan'), float('inf'), -float('inf')]
variants['float32-past-full-scale.wav'] = riff(chunk(b'fmt ', struct.pack('<HHIIHHH', 3, 1, 8000, 32000, 4, 32, 0))
                                               + chunk(b'data', struct.pack('<%df' % len(hot), *hot)))
# Plain PCM whose width does not fill its samples (read as the whole bytes
# they take, low bits kept), and one wider than any reader.
def narrow_pcm(bits, width, channels=1):
    return struct.pack('<HHIIHH', 1, channels, 8000, 8000 * channels * width, channels * width, bits)
variants['pcm12-in-16-stereo.wav'] = riff(chunk(b'fmt ', narrow_pcm(12, 2, 2)) + chunk(b'data', data[:800]))
variants['pcm20-in-24-mono.wav'] = riff(chunk(b'fmt ', narrow_pcm(20, 3)) + chunk(b'data', pcm20in24))
variants['pcm40-mono.wav'] = riff(chunk(b'fmt ', narrow_pcm(40, 5)) + chunk(b'data', data[:500]))
for name, body in variants.items():
    open(name, 'wb').write(body)
PY
ls -l "$out" | awk 'NR > 1 { total += $5 } END { print NR - 1, "files,", total, "bytes" }'
