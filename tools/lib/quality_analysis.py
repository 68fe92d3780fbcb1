#!/usr/bin/python3
"""An analysis of rendered test signals written apart from zelvaro-render's
own `analyze`, so that each checks the other: a least-squares sine fit
(four parameters, iterated on the frequency, by numpy's lstsq) for level and
frequency, and a Blackman-Harris-windowed FFT of the fit's residual for THD+N
(its power in 20 Hz to 20 kHz), spurs and aliases. The window keeps a file's
first and last moments (a generator's start, a recording's edges) from
counting as distortion of the steady tone; THD+N over the unwindowed
residual is printed beside it as thdn_unwindowed_db.

usage: quality_analysis.py FILE.wav [--freq HZ]
prints one line per channel of key=value pairs."""

import struct
import sys

import numpy as np


def read_wav(path):
    """(rate, samples[channel][frame]) at full scale 1.0, for PCM 8/16/24/32 and float 32/64."""
    data = open(path, 'rb').read()
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', path
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        if cid == b'fmt ':
            fmt = struct.unpack_from('<HHIIHH', data, pos + 8)
            if fmt[0] == 0xFFFE:
                sub = struct.unpack_from('<H', data, pos + 8 + 24)[0]
                fmt = (sub,) + fmt[1:]
        elif cid == b'data':
            body = data[pos + 8:pos + 8 + min(size, len(data) - pos - 8)]
            break
        pos += 8 + size + (size & 1)
    tag, channels, rate, _, align, bits = fmt
    width = align // channels
    frames = len(body) // align
    raw = np.frombuffer(body[:frames * align], dtype=np.uint8).reshape(frames, channels, width)
    if tag == 3:
        x = raw.copy().view('<f4' if width == 4 else '<f8').reshape(frames, channels).astype(np.float64)
    elif width == 1:
        x = (raw[:, :, 0].astype(np.float64) - 128) / 128
    else:
        v = np.zeros((frames, channels), dtype=np.int64)
        for b in range(width):
            v |= raw[:, :, b].astype(np.int64) << (8 * b)
        v = np.where(v >= 1 << (8 * width - 1), v - (1 << (8 * width)), v)
        x = v.astype(np.float64) / (1 << (8 * width - 1))
    return rate, x.T


def fit_sine(x, rate, f0):
    """Four-parameter least-squares fit: returns (freq, a, b, dc) of a cos + b sin + dc."""
    n = np.arange(len(x), dtype=np.float64)
    f = f0
    for _ in range(12):
        w = 2 * np.pi * f / rate
        c, s = np.cos(w * n), np.sin(w * n)
        a, b, dc = np.linalg.lstsq(np.column_stack([c, s, np.ones_like(n)]), x, rcond=None)[0]
        # The frequency's share: d/dw of (a cos + b sin) = n (-a sin + b cos).
        d = n * (-a * s + b * c)
        sol = np.linalg.lstsq(np.column_stack([c, s, np.ones_like(n), d]), x, rcond=None)[0]
        step = sol[3] * rate / (2 * np.pi)
        f += step
        if abs(step) < 1e-9 * max(f, 1):
            break
    w = 2 * np.pi * f / rate
    c, s = np.cos(w * n), np.sin(w * n)
    a, b, dc = np.linalg.lstsq(np.column_stack([c, s, np.ones_like(n)]), x, rcond=None)[0]
    return f, a, b, dc


def coarse_frequency(x, rate):
    w = np.hanning(len(x))
    spec = np.abs(np.fft.rfft((x - x.mean()) * w))
    k = int(np.argmax(spec[1:]) + 1)
    if 1 <= k < len(spec) - 1:
        l, m, r = np.log(spec[k - 1:k + 2] + 1e-300)
        k = k + 0.5 * (l - r) / (l - 2 * m + r)
    return k * rate / len(x)


def analyse(x, rate, freq=None):
    f0 = freq or coarse_frequency(x, rate)
    f, a, b, dc = fit_sine(x, rate, f0)
    amp = np.hypot(a, b)
    n = np.arange(len(x), dtype=np.float64)
    resid = x - (a * np.cos(2 * np.pi * f / rate * n) + b * np.sin(2 * np.pi * f / rate * n) + dc)
    # The residual's power between 20 Hz and 20 kHz over the whole file, unwindowed (by Parseval).
    spec = np.fft.rfft(resid)
    freqs = np.arange(len(spec)) * rate / len(x)
    power = np.abs(spec) ** 2 * 2 / len(x) ** 2
    band = (freqs >= 20) & (freqs <= 20000)
    thdn_unwindowed = 10 * np.log10(max(power[band].sum(), 1e-300) / (amp * amp / 2))
    # Spurs: the residual through a Blackman-Harris window; a component's
    # power is the sum over its main lobe (5 bins either side), away from DC
    # and from the tone by half the window's main lobe (4 bins).
    N = len(x)
    p = 2 * np.pi * np.arange(N) / N
    win = 0.35875 - 0.48829 * np.cos(p) + 0.14128 * np.cos(2 * p) - 0.01168 * np.cos(3 * p)
    ws = np.abs(np.fft.rfft(resid * win)) ** 2 * 2 / (N * np.sum(win ** 2))
    # THD+N: the windowed residual's power in the band (the window's power
    # normalisation makes a bin sum a mean square).
    thdn = 10 * np.log10(max(ws[band].sum(), 1e-300) / (amp * amp / 2))
    lobe = 5
    bin_hz = rate / N
    tone_bin = int(round(f / bin_hz))
    k = np.arange(len(ws))
    mask = (k >= 4) & (np.abs(k - f / bin_hz) >= 4)
    h = np.round(k * bin_hz / f)
    harmonic = (h >= 1) & (np.abs(k - h * f / bin_hz) <= 2 * lobe)
    lobe_power = lambda b: ws[max(0, b - lobe):b + lobe + 1].sum()
    tone_power = amp * amp / 2
    spur_bin = int(k[mask][np.argmax(ws[mask])])
    sfdr = 10 * np.log10(tone_power / max(lobe_power(spur_bin), 1e-300))
    nh = mask & ~harmonic
    other_bin = int(k[nh][np.argmax(ws[nh])])
    non_harmonic = 10 * np.log10(max(lobe_power(other_bin), 1e-300) / tone_power)
    out = dict(freq=f, level_dbfs=20 * np.log10(amp), thdn_db=thdn, thdn_unwindowed_db=thdn_unwindowed, sfdr_db=sfdr,
               spur_hz=spur_bin * bin_hz, non_harmonic_db=non_harmonic, non_harmonic_hz=other_bin * bin_hz)
    return out


def pink_figures(x, rate):
    """(worst third-octave deviation in dB from -3 dB/octave over 20 Hz to 20 kHz,
    share of the power below 10 Hz) of a noise, from Welch's average of
    64k-point Hann-windowed spectra, against a 1/f line fitted to the band."""
    size = 65536
    win = np.hanning(size)
    psd = np.zeros(size // 2 + 1)
    for start in range(0, len(x) - size, size // 2):
        psd += np.abs(np.fft.rfft(x[start:start + size] * win)) ** 2
    f = np.arange(len(psd)) * rate / size
    band = (f >= 20) & (f <= 20000)
    ref = psd[band] * f[band]
    level = 10 * np.log10(ref / np.mean(ref))
    octaves = np.log2(f[band] / 20)
    worst = max(abs(np.mean(level[(octaves >= o) & (octaves < o + 1 / 3)])) for o in np.arange(0, 9.9, 1 / 3))
    below = psd[(f > 0) & (f < 10)].sum() / psd[1:].sum()
    return worst, below


def main():
    args = sys.argv[1:]
    path = args[0]
    freq = float(args[args.index('--freq') + 1]) if '--freq' in args else None
    rate, chans = read_wav(path)
    for i, x in enumerate(chans):
        r = analyse(x, rate, freq)
        print(f"channel={i + 1} " + " ".join(f"{k}={v:.6f}" for k, v in r.items()))


if __name__ == '__main__':
    main()
