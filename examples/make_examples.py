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


def write_truth(name, header, rows):
    """The events a recording was generated with, for the tests: one line per event under a header line."""
    with open(os.path.join(HERE, name), "w", newline="\n") as out:
        out.write("# " + "\t".join(header) + "\n")
        for row in rows:
            out.write("\t".join(v if isinstance(v, str) else "%.6g" % v for v in row) + "\n")


def cardiac():
    """Two blocks of ventricular action potentials at 1 kHz: rest near -80 mV with a slow drift, an upstroke of
    2 ms to about +30 mV, a plateau and repolarisation; beats 450 to 700 ms apart with varied heights."""
    noise = Noise(20261206)
    interval = 0.001
    blocks = []
    truth = []
    for length in (3000, 2500):
        samples = []
        onset = int(noise.between(80, 250))
        onsets = []
        while onset < length - 400:
            onsets.append((onset, noise.between(95.0, 120.0)))
            onset += int(noise.between(450, 700))
        truth += [(str(len(blocks) + 1), start * interval, height) for start, height in onsets]
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
    write_truth("cardiac.events.txt", ["block", "onset (s)", "height (mV)"], truth)


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

    def shape(k):
        return (1.0 - math.exp(-k / 1.0)) * math.exp(-max(k - 3.0, 0.0) / 20.0) if k >= 0 else 0.0

    def response(sweep, time_ms):
        return -65.0 + (6.0, 11.0, 15.0)[sweep] * shape(time_ms - 52.0)

    interval = 0.0001
    blocks = stimulated_sweeps(7, (3000, 3000, 3000), interval, 50.0, 0.5, response, 0.15)
    write("evoked.txt", ["Time (ms)", "Vm (mV)", "Stim (V)"], blocks, interval, 1000.0, 4)
    top = max(shape(k / 1000.0) for k in range(20000))  # the shape's maximum, on a 1 us grid
    write_truth("evoked.events.txt", ["block", "stimulus (s)", "latency (ms)", "height (mV)", "tau (ms)"],
                [(str(sweep + 1), 0.05, 2.0, height * top, 20.0) for sweep, height in enumerate((6.0, 11.0, 15.0))])


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
    write_truth("popspike.events.txt", ["block", "stimulus (s)", "spike (s)", "depth (mV)"],
                [(str(sweep + 1), 0.015, 0.019, depth) for sweep, depth in enumerate((0.6, 1.2, 1.9))])


def spikes():
    """Two blocks of 0.6 s at 10 kHz of neuronal action potentials: rest near -65 mV, a 0.6 ms upstroke of 80 to
    100 mV, a 1 ms fall below rest and an after-hyperpolarisation of 4 to 8 mV that recovers with tau 8 ms; spikes
    40 to 120 ms apart."""
    noise = Noise(5150)
    interval = 0.0001
    blocks = []
    truth = []
    for length in (6000, 6000):
        spikes = []
        onset = int(noise.between(100, 400))
        while onset < length - 300:
            spikes.append((onset, noise.between(80.0, 100.0), noise.between(4.0, 8.0)))
            onset += int(noise.between(400, 1200))
        truth += [(str(len(blocks) + 1), start * interval, (start + 5) * interval, height, ahp)
                  for start, height, ahp in spikes]
        samples = []
        for t in range(length):
            v = -65.0
            for start, height, ahp in spikes:
                k = t - start
                if 0 <= k < 6:
                    v += height * (k + 1) / 6.0                              # upstroke, peak at k = 5
                elif 6 <= k < 16:
                    v += height - (height + ahp) * (k - 5) / 10.0           # fall to -ahp at k = 15
                elif k >= 16:
                    v -= ahp * math.exp(-(k - 15) / 80.0)                   # after-hyperpolarisation
            samples.append([v + noise.gauss(0.15)])
        blocks.append(samples)
    write("spikes.txt", ["Time (s)", "Vm (mV)"], blocks, interval, 1.0, 3)
    write_truth("spikes.events.txt", ["block", "onset (s)", "peak (s)", "height (mV)", "ahp (mV)"], truth)


def currents():
    """Two blocks of 0.8 s at 10 kHz of synaptic currents in voltage clamp: a holding current near -30 pA with 2 pA
    of noise and inward events of 15 to 60 pA that rise with tau 0.3 ms and decay with tau 4 ms, 15 to 90 ms apart."""
    noise = Noise(3003)
    interval = 0.0001
    rise, decay = 0.3, 4.0  # ms
    peak_ms = rise * decay / (decay - rise) * math.log(decay / rise)
    norm = math.exp(-peak_ms / decay) - math.exp(-peak_ms / rise)
    blocks = []
    truth = []
    for length in (8000, 8000):
        events = []
        onset = int(noise.between(50, 300))
        while onset < length - 200:
            events.append((onset, noise.between(15.0, 60.0)))
            onset += int(noise.between(150, 900))
        truth += [(str(len(blocks) + 1), start * interval, start * interval + peak_ms / 1000.0, amplitude)
                  for start, amplitude in events]
        samples = []
        for t in range(length):
            v = -30.0
            for start, amplitude in events:
                k = (t - start) * interval * 1000.0
                if k >= 0:
                    v -= amplitude * (math.exp(-k / decay) - math.exp(-k / rise)) / norm
            samples.append([v + noise.gauss(2.0)])
        blocks.append(samples)
    write("currents.txt", ["Time (s)", "Im (pA)"], blocks, interval, 1.0, 2)
    write_truth("currents.events.txt", ["block", "onset (s)", "peak (s)", "amplitude (pA)"], truth)


if __name__ == "__main__":
    cardiac()
    evoked()
    popspike()
    spikes()
    currents()
