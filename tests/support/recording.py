"""Reading a recording of the sound server's monitor (raw s16le stereo), for
the scripts that check what was played."""
import array
import sys


def read_left_channel(path):
    """The left channel's samples as an array of ints."""
    data = array.array('h')
    with open(path, 'rb') as f:
        data.frombytes(f.read())
    if sys.byteorder != 'little':
        data.byteswap()
    return data[0::2]


def sounding_span(samples, threshold=200):
    """(first, last) index of the samples louder than `threshold`, or None
    when the recording is silent."""
    active = [i for i, v in enumerate(samples) if abs(v) > threshold]
    return (active[0], active[-1]) if active else None


def zero_crossing_frequency(samples, rate):
    """Frequency from interpolated rising zero crossings; 0.0 with fewer
    than three of them."""
    crossings = []
    for i in range(1, len(samples)):
        x0, x1 = samples[i - 1], samples[i]
        if x0 < 0 <= x1 and x1 != x0:
            crossings.append(i - 1 + (-x0) / (x1 - x0))
    if len(crossings) < 3:
        return 0.0
    return (len(crossings) - 1) * rate / (crossings[-1] - crossings[0])
