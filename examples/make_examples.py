#!/usr/bin/env python3
"""Writes the example recordings of this folder. Deterministic: the noise comes from a fixed-seed generator of our
own, so the files are the same on every machine. Run from anywhere: python3 examples/make_examples.py"""

import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


class Noise:
    """A 64-bit linear congruential generator with Box-Muller Gaussian values."""

    def __init__(self, seed):
        self.state = seed

    def uniform(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return ((self.state >> 11) + 0.5) / float(1 << 53)

    def gauss(self, sigma):
        return sigma * math.sqrt(-2.0 * math.log(self.uniform())) * math.cos(2.0 * math.pi * self.uniform())

    def between(self, low, high):
        return low + (high - low) * self.uniform()


def write(name, header, blocks, interval, time_unit_factor, decimals):
    """blocks: lists of rows (one value per channel); the first column is the time of each sample."""
    with open(os.path.join(HERE, name), "w", newline="\n") as out:
        out.write("\t".join(header) + "\n")
        for number, rows in enumerate(blocks):
            if number:
                out.write("\n")
            for i, row in enumerate(rows):
                time = i * interval * time_unit_factor
                out.write("%.4f\t" % time + "\t".join("%.*f" % (decimals, v) for v in row) + "\n")


def cardiac():
    """Two blocks of ventricular action potentials at 1 kHz: rest near -80 mV with a slow drift, an upstroke of
    2 ms to about +30 mV, a plateau and repolarisation; beats 450 to 700 ms apart with varied heights."""
    noise = Noise(20261206)
    interval = 0.001
    blocks = []
    for length in (3000, 2500):
        samples = []
        onset = int(noise.between(80, 250))
        onsets = []
        while onset < length - 400:
            onsets.append((onset, noise.between(95.0, 120.0)))
            onset += int(noise.between(450, 700))
        drift_phase = noise.between(0.0, 6.28)
        for t in range(length):
            v = -80.0 + 1.5 * math.sin(2.0 * math.pi * t * interval / 2.2 + drift_phase)
            for start, height in onsets:
                k = t - start
                if 0 <= k < 2:
                    v += height * (k + 1) / 2.0
                elif 2 <= k < 6:
                    v += height - 0.12 * height * (k - 1) / 4.0          # the notch
                elif 6 <= k < 180:
                    v += 0.88 * height - 0.15 * height * (k - 6) / 174.0  # the plateau
                elif 180 <= k < 280:
                    v += 0.73 * height * (1.0 - (k - 180) / 100.0)        # repolarisation
            samples.append([v + noise.gauss(0.3)])
        blocks.append(samples)
    write("cardiac.txt", ["Time (s)", "Vm (mV)"], blocks, interval, 1.0, 3)


def stimulated_sweeps(seed, sizes, interval, stimulus_ms, pulse_ms, response, sigma):
    """Sweeps of a recorded channel beside a clean trigger channel with one 5 V pulse. response(sweep, time_ms) is
    the recorded value without noise."""
    noise = Noise(seed)
    blocks = []
    for sweep, length in enumerate(sizes):
        rows = []
        for t in range(length):
            time_ms = t * interval * 1000.0
            stim = 5.0 if stimulus_ms <= time_ms < stimulus_ms + pulse_ms else 0.0
            rows.append([response(sweep, time_ms) + noise.gauss(sigma), stim])
        blocks.append(rows)
    return blocks


def evoked():
    """Three sweeps of 300 ms at 10 kHz: a 0.5 ms stimulus pulse at 50 ms and a postsynaptic response after 2 ms of
    latency whose height varies from sweep to sweep, rising in 3 ms and decaying with tau 20 ms."""

    def response(sweep, time_ms):
        v = -65.0
        k = time_ms - 52.0
        if k >= 0:
            v += (6.0, 11.0, 15.0)[sweep] * (1.0 - math.exp(-k / 1.0)) * math.exp(-max(k - 3.0, 0.0) / 20.0)
        return v

    interval = 0.0001
    blocks = stimulated_sweeps(7, (3000, 3000, 3000), interval, 50.0, 0.5, response, 0.15)
    write("evoked.txt", ["Time (ms)", "Vm (mV)", "Stim (V)"], blocks, interval, 1000.0, 4)


def popspike():
    """Three sweeps of 100 ms at 20 kHz of an extracellular field: a 0.2 ms stimulus at 15 ms with its artefact, a
    positive field EPSP and a negative population spike at about 19 ms whose depth grows from sweep to sweep."""

    def response(sweep, time_ms):
        v = 0.0
        if 15.0 <= time_ms < 15.4:
            v += 2.5 * math.sin(math.pi * (time_ms - 15.0) / 0.4)        # artefact
        k = time_ms - 16.0
        if k >= 0:
            v += 0.8 * (1.0 - math.exp(-k / 1.5)) * math.exp(-k / 12.0)     # field EPSP
        return v - (0.6, 1.2, 1.9)[sweep] * math.exp(-((time_ms - 19.0) / 0.8) ** 2)  # population spike

    interval = 0.00005
    blocks = stimulated_sweeps(11, (2000, 2000, 2000), interval, 15.0, 0.2, response, 0.02)
    write("popspike.txt", ["Time (ms)", "Field (mV)", "Stim (V)"], blocks, interval, 1000.0, 4)


if __name__ == "__main__":
    cardiac()
    evoked()
    popspike()
