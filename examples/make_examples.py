#!/usr/bin/env python3
"""Writes the example recordings of this folder, the events each was generated with (NAME.events.txt) and, for all
but the synaptic currents, the analysis table measured on the samples without noise, as the analysis chain measures,
with each column's tolerance for the noise (NAME.table.txt). Deterministic: the noise comes from a fixed-seed
generator of our own, so the files are the same on every machine. Run from anywhere: python3 examples/make_examples.py"""

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


def write_expected(name, columns, rows, tolerances, unchecked):
    """What the analysis table of a recording should hold: a header line naming the block and the table's columns,
    one line per event, then a line of the tolerance of each column ("-" for a column left unchecked), then a line
    per unchecked column giving its name and why."""
    with open(os.path.join(HERE, name), "w", newline="\n") as out:
        out.write("# " + "\t".join(["block"] + columns) + "\n")
        for block, values in rows:
            out.write("\t".join([str(block)] + ["%.7g" % v for v in values]) + "\n")
        out.write("\t".join(["tolerance"] + ["-" if c in unchecked else "%.3g" % t
                                              for c, t in zip(columns, tolerances)]) + "\n")
        for column in columns:
            if column in unchecked:
                out.write("unchecked\t%s\t%s\n" % (column, unchecked[column]))


def least_squares_slope(points):
    """Slope per tick of the least-squares line through points at x = 1..n."""
    n = len(points)
    sx = (n + 1) * n * 0.5
    sxx = sum(i * i for i in range(1, n + 1))
    sxy = sum(i * y for i, y in enumerate(points, 1))
    return (n * sxy - sx * sum(points)) / (n * sxx - sx * sx)


def cardiac_peaks(x, min_height):
    """The cardiac peak detector at a minimum width of 0: a maximum that stands more than min_height above the lowest
    value before it, confirmed by a fall of more than min_height below it."""
    peaks = []
    phase = 0
    low = high = trough = None
    for t, v in enumerate(x):
        if phase == 0:
            low = high = trough = (t, v)
            phase = 1
            continue
        if phase == 2 and v < trough[1]:
            trough = (t, v)
            if high[1] - trough[1] > min_height:
                peaks.append(high[0])
                phase = 0
        elif v < low[1]:
            low = high = (t, v)
            phase = 1
        elif v > high[1]:
            high = (t, v)
            if high[1] - low[1] > min_height:
                trough = (t, v)
                phase = 2
    return peaks


NAN = float("nan")


def peak_chain(x, interval, peaks, start_percent, stimuli=None, window=None, fit_tau=False):
    """The final parameters of the peak chain at the document's defaults, measured on one block of samples in mV as
    the chain does, for the peaks found by a detector (with their stimuli and the baseline's search window in ticks
    after the stimulus, when there are), each peak above its baseline as in every example it measures: the baseline
    from the flattest long segment before each peak (5 % noise tolerance, segments of at most 1 s); the event from
    its last sample at start_percent % of the height before the peak to its first sample back at the baseline, and
    its tail until the signal is back above the baseline; rise and fall between 10 % and 90 %; widths and
    repolarisation durations at the
    levels 0 % to 90 %; the plateau as the mean of 5 ms around the middle of the 50 % crossings (method 1) and
    around 30 % of the way from the start to the 10 % crossing (method 2); slopes by least squares over 5 samples
    and over blocks of 4 ms from 5 ms after the peak; with fit_tau, the time constant of an exponential decay to the
    baseline fitted from the 50 % crossing to the return to the baseline. Returns a dictionary of parameters per
    event, in mV, mV/s, mV.s and s; a parameter the chain leaves empty is NaN."""
    n = len(x)
    never = 0x7FFFFFFF
    stimuli = stimuli or [-1] * len(peaks)
    # Baselines: segments of samples within a band of 5 % of their distance from the peak of their first sample.
    limit_ticks = max(500, int(1000.0 * 0.001 / interval + 0.5))
    bases = []
    for i, (peak, stimulus) in enumerate(zip(peaks, stimuli)):
        top = x[peak]
        first, last_tick = (stimulus + window[0], stimulus + window[1]) if window and stimulus >= 0 else (-1, -1)
        best = (0.0, -1.0, -1, -1)
        segment = None  # [start, first, band, sum, count]

        def close(t, v):
            nonlocal best, segment
            mean = segment[3] / segment[4]
            score = abs(top - mean) * segment[4] * segment[4] * (1.0 / (peak + 1 - t))
            if score >= best[0] and (first < 0 or t > first):
                best = (score, mean, segment[0], segment[0] + segment[4] - 1)
            segment = [t, v, abs(top - v) * 5.0 * 0.01, v, 1]

        for t in range(peaks[i - 1] + 1 if i else 0, peak):
            v = x[t]
            last = t == peak - 1
            if segment is None:
                if last_tick > 0 and t > last_tick:
                    continue
                segment = [t, v, abs(top - v) * 5.0 * 0.01, v, 1]
                if last:
                    close(t, v)
            elif abs(v - segment[1]) <= segment[2] and t - segment[0] <= limit_ticks:
                segment[3] += v
                segment[4] += 1
                if last:
                    close(t, v)
            else:
                close(t, v)
        if best[0] > 0 and best[2] >= 0 and best[3] >= 0:
            bases.append((best[1], best[3]))
        else:
            bases.append((top * 0.999999, peak - 1))
    earliest = [min([peak, end - 1] + ([stimulus] if stimulus >= 0 else []))
                for peak, stimulus, (_, end) in zip(peaks, stimuli, bases)]
    limits = earliest[1:] + [never]
    # Start (last sample at or below start_percent % before the peak) and end (first sample back at the baseline).
    spans = []
    position = 0
    for peak, (base, base_end), following in zip(peaks, bases, limits):
        top = x[peak]
        start_level = start_percent * 0.01 * (top - base) + base
        rise, fall = -1, -1
        t = position
        while t < n and t < following:
            v = x[t]
            if t < peak and start_level >= v:
                rise = t
            if t > peak and base >= v:
                fall = t
                break
            t += 1
        position = t
        if fall < 0:
            fall = position - 1
        spans.append((base_end if rise < 0 else rise, fall))
    # The plateau centres, the tail's overshoot beyond the baseline and its end.
    centres = []
    position = 0
    for peak, (base, _), (start, end), following in zip(peaks, bases, spans, limits):
        height = x[peak] - base
        mid = 50 * 0.01 * height + base
        tenth = height * 0.1 + base
        tau_start_level = 50 * 0.01 * height + base
        tau_end_level = (0 * 0.01 + 0.000005) * height + base
        rise50 = fall50 = ten = back = tau_first = tau_last = -1
        overshoot = 0.0
        t = position
        while t < n and t < following:
            v = x[t]
            if t < peak:
                if rise50 < 0 and v > mid:
                    rise50 = t
            elif t <= end:
                if fall50 < 0 and mid > v:
                    fall50 = t
                if ten < 0 and tenth >= v:
                    ten = t
                if tau_first < 0 and tau_start_level >= v:
                    tau_first = t
                if tau_last < 0 and tau_end_level >= v:
                    tau_last = t
            elif v >= base:
                back = t
                break
            elif abs(v - base) > abs(overshoot):
                overshoot = v - base
            t += 1
        position = t
        middle = (rise50 + fall50) // 2 if rise50 >= 0 and fall50 >= 0 else -1
        centre = int((1.0 - 0.3) * start + (ten * 0.3 + 0.5)) if ten >= 0 and start >= 0 else -1
        centres.append((middle, centre, back, overshoot if back >= 0 else NAN, tau_first, tau_last))
    # The final parameters, from one walk over each event.
    events = []
    position = 0
    half_window = int(5.0 / (interval * 1000.0) + 0.5) // 2
    smooth = 5
    block = min(1000, max(3, int(4.0 * 0.001 / interval + 0.5)))
    for peak, stimulus, (base, _), (start, end), (middle, centre, back, overshoot, tau_first, tau_last), needed, \
            following in zip(peaks, stimuli, bases, spans, centres, earliest, limits):
        top = x[peak]
        position = max(position, needed)
        anchor = stimulus if window else start
        window_ends = [end + 2, anchor + int(10.0 * 0.001 / interval + 0.5),
                       anchor + int(11.0 * 0.001 / interval + 0.5) + 1, min(end + 1, following), back, tau_last + 1]
        decay = []
        last = min(following, max(e for e in window_ends if e >= 0), n - 1)
        level_a = base + 10 * 0.01 * (top - base)
        level_b = base + 90 * 0.01 * (top - base)
        rise_a = rise_b = fall_b = fall_a = 0
        levels = [base * (1.0 - k * 0.1) + top * (k * 0.1) for k in range(10)]
        rises = [-1] * 10
        falls = [-1] * 10
        sums = [[middle, 0.0, 0], [centre, 0.0, 0]]
        peak_area = after_area = 0.0
        ring = []
        max_slope = NAN
        block_ring = []
        steepest = NAN
        for t in range(position, last + 1):
            v = x[t]
            if not rise_a and t >= start and v >= level_a:
                rise_a = t
            if not rise_b and t >= start and v >= level_b:
                rise_b = t
            if not fall_b and t >= peak and v <= level_b:
                fall_b = t
            if not fall_a and t >= peak and v <= level_a:
                fall_a = t
            for total in sums:
                if total[0] >= 0 and total[0] - half_window <= t < total[0] + half_window:
                    total[1] += v
                    total[2] += 1
            if start <= t < min(end + 1, following):
                for k in range(10):
                    if t < peak:
                        if levels[k] > v:
                            rises[k] = t + 1
                        elif rises[k] < 0:
                            rises[k] = t
                    elif falls[k] < 0 and levels[k] >= v:
                        falls[k] = t
            if start <= t < end:
                ring = (ring + [v])[-smooth:]
                if len(ring) == smooth:
                    slope = least_squares_slope(ring) / interval
                    if not slope <= max_slope:
                        max_slope = slope
            if start <= t < end + 1:
                peak_area += v - base
            if start >= 0 and tau_first >= 0 and tau_first <= t < tau_last + 1:
                decay.append(v)
            if end <= t < back:
                after_area += v - base
            if peak + int(5 * 0.001 / interval + 0.5) <= t < end:
                block_ring.append(v)
                if len(block_ring) == block:
                    slope = -(least_squares_slope(block_ring) / interval)
                    if not slope <= steepest:
                        steepest = slope
                    block_ring = []
        position = last + 1
        if falls[0] < 0 and end > 0:
            falls[0] = end
        apd = {j: (falls[10 - j // 10] - start) * interval if falls[10 - j // 10] >= 0 else NAN
               for j in range(10, 100, 10)}
        width = (end - start) * interval
        after_width = (back - end) * interval if back >= 0 and end > start else NAN
        events.append({
            "RMP": base, "APA": top - base, "TimeToPeak": (peak - start) * interval, "Max dV/dt": max_slope,
            "MaxNegSlope": steepest, "APD40": apd[40], "APD90": apd[90], "Triangulation": apd[90] - apd[40],
            "PlateauV1": sums[0][1] / sums[0][2] if sums[0][2] else NAN,
            "PlateauV2": sums[1][1] / sums[1][2] if sums[1][2] else NAN, "TStart": start * interval,
            "TRise": (rise_b - rise_a) * interval if rise_b - rise_a >= 0 else NAN,
            "TFall": (fall_a - fall_b) * interval if fall_a - fall_b >= 0 else NAN,
            "Width50": (falls[5] - rises[5]) * interval if falls[5] > rises[5] >= 0 else NAN, "Width": width,
            "PeakArea": peak_area * interval, "AHPAmplitude": overshoot, "AHPWidth": after_width,
            "AHPArea": after_area * interval if back >= 0 and end > start else NAN, "APDtot": after_width + width,
            "Latency": (start - stimulus) * interval if stimulus >= 0 else NAN, "Height": top - base,
            "Baseline": base, "ResponseArea": peak_area * interval,
            "Tau": decay_time_constant(decay, interval, base) if fit_tau else NAN})
    return events


def decay_time_constant(samples, interval, asymptote):
    """The time constant (s) of the exponential decay to a fixed asymptote that fits the samples best (least
    squares; its amplitude follows from the time constant), found by a golden-section search; NaN for fewer than two
    samples."""
    if len(samples) < 2:
        return NAN
    ys = [v - asymptote for v in samples]

    def misfit(log_tau):
        decay = [math.exp(-i * interval / math.exp(log_tau)) for i in range(len(ys))]
        return -sum(y * e for y, e in zip(ys, decay)) ** 2 / sum(e * e for e in decay)

    low, high = math.log(interval), math.log(1000.0 * interval * len(ys))
    golden = (math.sqrt(5.0) - 1.0) / 2.0
    a, b = high - golden * (high - low), low + golden * (high - low)
    fa, fb = misfit(a), misfit(b)
    while high - low > 1e-7:
        if fa < fb:
            high, b, fb = b, a, fa
            a = high - golden * (high - low)
            fa = misfit(a)
        else:
            low, a, fa = a, b, fb
            b = low + golden * (high - low)
            fb = misfit(b)
    return math.exp((low + high) / 2.0)


def table_of(columns, events):
    """The rows of a table: the value of each (column, parameter, factor) of every event, in the column's unit."""
    return [[event[parameter] * factor for _, parameter, factor in columns] for event in events]


# The main job's table of each example: the column as the table heads it, the parameter, and the factor to its unit.
CARDIAC_COLUMNS = [("RMP (mV)", "RMP", 1.0), ("APA (mV)", "APA", 1.0), ("Max dV/dt (mV/s)", "Max dV/dt", 1.0),
                   ("MaxNegSlope (mV/s)", "MaxNegSlope", 1.0), ("APD40 (ms)", "APD40", 1000.0),
                   ("APD90 (ms)", "APD90", 1000.0), ("Triangulation (ms)", "Triangulation", 1000.0),
                   ("PlateauV1 (mV)", "PlateauV1", 1.0), ("PlateauV2 (mV)", "PlateauV2", 1.0),
                   ("TStart (s)", "TStart", 1.0), ("TRise (ms)", "TRise", 1000.0), ("TFall (ms)", "TFall", 1000.0)]
SPIKE_COLUMNS = [("RMP (mV)", "RMP", 1.0), ("TimeToPeak (ms)", "TimeToPeak", 1000.0), ("APA (mV)", "APA", 1.0),
                 ("Max dV/dt (mV/s)", "Max dV/dt", 1.0), ("MaxNegSlope (mV/s)", "MaxNegSlope", 1.0),
                 ("Width50 (ms)", "Width50", 1000.0), ("Width (ms)", "Width", 1000.0),
                 ("PeakArea (mV.s)", "PeakArea", 1.0), ("AHPAmplitude (mV)", "AHPAmplitude", 1.0),
                 ("AHPWidth (ms)", "AHPWidth", 1000.0), ("AHPArea (mV.s)", "AHPArea", 1.0),
                 ("APDtot (ms)", "APDtot", 1000.0), ("TStart (s)", "TStart", 1.0), ("TRise (ms)", "TRise", 1000.0),
                 ("TFall (ms)", "TFall", 1000.0)]
EVOKED_COLUMNS = [("Baseline (mV)", "Baseline", 1.0), ("TStart (s)", "TStart", 1.0), ("TRise (ms)", "TRise", 1000.0),
                  ("TFall (ms)", "TFall", 1000.0), ("TimeToPeak (ms)", "TimeToPeak", 1000.0),
                  ("Latency (ms)", "Latency", 1000.0), ("ResponseArea (mV.s)", "ResponseArea", 1.0),
                  ("Width50 (ms)", "Width50", 1000.0), ("Height (mV)", "Height", 1.0), ("Tau (s)", "Tau", 1.0)]
POPSPIKE_COLUMNS = [("TStart (s)", "TStart", 1.0), ("PopSpikeHeight (mV)", "PopSpikeHeight", 1.0),
                    ("PopSpikeArea (mV.s)", "PopSpikeArea", 1.0)]
TIME_PARAMETERS = {"TimeToPeak", "APD40", "APD90", "Triangulation", "TStart", "TRise", "TFall", "Width50", "Width",
                   "AHPWidth", "APDtot", "Latency"}


def tick_floors(columns, interval):
    """A tick in the unit of each time column, nothing for the others: the least tolerance of a column."""
    return [factor * interval if parameter in TIME_PARAMETERS else 0.0 for _, parameter, factor in columns]


def cardiac_potential(k, height, duration):
    """A ventricular action potential k ms after its onset, over its resting level: a smooth upstroke of about 1 ms,
    an early repolarisation (phase 1) into a slowly falling plateau, and a smooth repolarisation (phase 3) about
    duration ms after the onset."""
    if k < -5.0:
        return 0.0
    upstroke = 0.5 * (1.0 + math.tanh((k - 1.0) / 0.25))
    repolarisation = 1.0 / (1.0 + math.exp((k - duration) / 14.0))
    plateau = 0.78 + 0.22 * math.exp(-k / 4.0) - 0.12 * k / duration
    return height * upstroke * repolarisation * plateau


def cardiac():
    """Two blocks of ventricular action potentials at 10 kHz: rest near -80 mV with a slow drift of 1.5 mV and
    0.3 mV of noise, upstrokes to about +20 mV, plateaus and repolarisation after 200 to 250 ms; beats 450 to 700 ms
    apart with varied heights. Beside the recording: its events and the analysis table (type 1 at the defaults)
    measured on the samples without noise, with each column's tolerance for the noise."""
    noise = Noise(20261206)
    interval = 0.0001
    sigma = 0.3
    decimals = 2
    blocks = []
    clean_blocks = []
    truth = []
    for length_ms in (3000, 2500):
        length = int(length_ms * 0.001 / interval)
        beats = []
        onset = noise.between(80.0, 250.0)
        while onset < length_ms - 400:
            beats.append((onset, noise.between(95.0, 120.0), noise.between(200.0, 250.0)))
            onset += noise.between(450.0, 700.0)
        drift_phase = noise.between(0.0, 6.28)
        clean = []
        for t in range(length):
            ms = t * interval * 1000.0
            v = -80.0 + 1.5 * math.sin(2.0 * math.pi * ms / 2200.0 + drift_phase)
            for start, height, duration in beats:
                if start - 5.0 <= ms < start + duration + 250.0:
                    v += cardiac_potential(ms - start, height, duration)
            clean.append(v)
        for start, height, duration in beats:
            rest = -80.0 + 1.5 * math.sin(2.0 * math.pi * start / 2200.0 + drift_phase)
            top = max(clean[int(start / (interval * 1000.0)):int((start + 10.0) / (interval * 1000.0))])
            truth.append((str(len(blocks) + 1), start * 0.001, top - rest))
        clean_blocks.append(clean)
        blocks.append([[round(v + noise.gauss(sigma), decimals)] for v in clean])
    write("cardiac.txt", ["Time (s)", "Vm (mV)"], blocks, interval, 1.0, decimals)
    write_truth("cardiac.events.txt", ["block", "onset (s)", "height (mV)"], truth)
    write_table("cardiac.table.txt", CARDIAC_COLUMNS, clean_blocks,
                lambda x: peak_chain(x, interval, cardiac_peaks(x, 30.0), 5), sigma, decimals,
                tick_floors(CARDIAC_COLUMNS, interval), 20261207)


def write_table(name, columns, clean_blocks, measure, sigma, decimals, floors, seed, trials=1000, margin=1.5):
    """Writes the table that measure (samples -> events) gives on the samples without noise, and the tolerance of
    each column for the noise. Over trials of the same recording with fresh noise of the same size, each trial's
    largest deviation from the table in the column is taken; the tolerance is the deviation that at most one trial in
    a thousand exceeds (so that a rare detection of another event does not set it), times a margin, and at least
    the column's floor. A column whose tolerance reaches from its smallest value to zero would pass a value of none:
    it is left unchecked, and the file says why. A column that the noise-free table leaves empty is expected empty."""
    expected = [(number + 1, row) for number, clean in enumerate(clean_blocks)
                for row in table_of(columns, measure(clean))]
    noise = Noise(seed)
    worst = [[] for _ in columns]
    for _ in range(trials):
        noisy = []
        for clean in clean_blocks:
            noisy += table_of(columns, measure([round(v + noise.gauss(sigma), decimals) for v in clean]))
        if len(noisy) != len(expected):
            raise RuntimeError("%s: a noisy trial finds %d events, not %d" % (name, len(noisy), len(expected)))
        for c in range(len(columns)):
            deviations = [abs(want[c] - got[c]) for (_, want), got in zip(expected, noisy)
                          if not math.isnan(want[c]) and not math.isnan(got[c])]
            worst[c].append(max(deviations, default=0.0))
    tolerances = []
    unchecked = {}
    for c, ((column, _, _), deviations) in enumerate(zip(columns, worst)):
        deviations.sort()
        level = deviations[len(deviations) - 1 - len(deviations) // 1000]
        tolerances.append(max(margin * level, floors[c]))
        # Zero is no value of these parameters (durations, areas, heights, levels far from 0 mV): a check that passes
        # it cannot tell a measurement from none.
        smallest = min((abs(row[c]) for _, row in expected if not math.isnan(row[c])), default=math.inf)
        if tolerances[-1] >= smallest:
            unchecked[column] = ("the noise moves it by %.3g (by more in at most 1 of %d trials): a tolerance of %.3g "
                                 "reaches from its smallest value, %.3g, past zero, so the check would pass anything"
                                 % (level, trials, tolerances[-1], smallest))
    write_expected(name, [column for column, _, _ in columns], expected, tolerances, unchecked)


def clean_sweeps(sizes, interval, response):
    """The sweeps of stimulated_sweeps without their noise and trigger channel."""
    return [[response(sweep, t * interval * 1000.0) for t in range(length)] for sweep, length in enumerate(sizes)]


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
    latency whose height varies from sweep to sweep, rising with tau 1 ms and decaying with tau 20 ms, over a
    resting level near -65 mV that runs down slowly by 0.2 mV over the three sweeps. Beside the recording: its events
    and the analysis table (type 3, the stimulus placed at 50 ms, responses of at least 3 mV) measured on the samples
    without noise, with each column's tolerance for the noise."""

    def shape(k):
        return (1.0 - math.exp(-k / 1.0)) * math.exp(-k / 20.0) if k >= 0 else 0.0

    def response(sweep, time_ms):
        drift = 0.1 * math.cos(2.0 * math.pi * (sweep * 300.0 + time_ms) / 1800.0)
        return -65.0 + drift + (6.0, 11.0, 15.0)[sweep] * shape(time_ms - 52.0)

    interval = 0.0001
    sizes = (3000, 3000, 3000)
    blocks = stimulated_sweeps(7, sizes, interval, 50.0, 0.5, response, 0.15)
    write("evoked.txt", ["Time (ms)", "Vm (mV)", "Stim (V)"], blocks, interval, 1000.0, 4)
    clean_blocks = clean_sweeps(sizes, interval, response)
    stimulus = int(50.0 / (interval * 1000.0) + 0.5)
    window = (0, int(100.0 / (interval * 1000.0) + 0.5))

    def measure(x):
        peaks = evoked_peaks(x, stimulus, 3.0, window)
        return peak_chain(x, interval, peaks, 5, [stimulus] * len(peaks), window, fit_tau=True)

    write_table("evoked.table.txt", EVOKED_COLUMNS, clean_blocks, measure, 0.15, 4,
                tick_floors(EVOKED_COLUMNS, interval), 8)
    top = max(shape(k / 1000.0) for k in range(20000))  # the shape's maximum, on a 1 us grid
    write_truth("evoked.events.txt", ["block", "stimulus (s)", "latency (ms)", "height (mV)", "tau (ms)", "rest (mV)"],
                [(str(sweep + 1), 0.05, 2.0, height * top, 20.0, response(sweep, 50.0))
                 for sweep, height in enumerate((6.0, 11.0, 15.0))])


def evoked_peaks(x, stimulus, height, window):
    """The evoked-response detector for one stimulus: the first maximum after the stimulus and within the window
    (ticks after it) that rises height above the lowest value before it and is followed by a fall of height."""
    first = max(stimulus, stimulus + window[0])
    last = max(first, stimulus + window[1])
    low = high = (first, x[stimulus])
    for t in range(stimulus, len(x)):
        v = x[t]
        if high[1] - low[1] >= height and high[1] - v >= height:
            if first <= high[0] <= last and high[0] > stimulus:
                return [high[0]]
            low = high = (t, v)
        elif v >= high[1]:
            high = (t, v)
        elif v < low[1]:
            low = high = (t, v)
        if high[0] > last:
            return []
    return []


def stimulus_pulses(x, interval, height, width_ms, gap_ms):
    """The stimulus detector on the recorded channel: the peak ticks of pulses, up or down, of at least height that
    come back by height within half of width_ms, at least gap_ms after the previous one."""
    width = int(width_ms / (interval * 1000.0) + 0.5)
    gap = int(gap_ms / (interval * 1000.0) + 0.5)
    detectors = [[1.0, 0, None, None], [-1.0, 0, None, None]]  # sign, phase, start (t, v), peak (t, v)
    stimuli = []
    for t, v in enumerate(x):
        found = None
        for detector in detectors:
            sign, phase, start, peak = detector
            if phase == 0:
                detector[1:3] = [1, (t, v)]
            elif phase == 1:
                if sign * (start[1] - v) > 0:
                    detector[2] = (t, v)
                elif sign * (v - start[1]) >= height:
                    detector[1:4] = [2, start, (t, v)]
            elif sign * (v - peak[1]) > 0:
                detector[3] = (t, v)
            elif sign * (peak[1] - v) >= height:
                detector[1] = 0
                if width >= 2 * (t - peak[0]) and found is None:
                    found = peak[0]
        if found is not None:
            for detector in detectors:
                detector[1] = 0
            if not stimuli or found - stimuli[-1] >= gap:
                stimuli.append(found)
    return stimuli


def population_spikes(x, interval):
    """The population-spike chain at the defaults, on one sweep in mV: the stimulus artefact found on the recorded
    channel (0.5 mV, 1 ms), then over the 100 ms after it the deepest peak-trough-peak shape among the samples that
    are the highest or lowest of the 11 around them; its start (the first peak), its height (from the trough to the
    line joining the peaks) and its area (between that line and the signal)."""
    events = []
    stimuli = stimulus_pulses(x, interval, 0.5, 1.0, 10.0)
    for number, stimulus in enumerate(stimuli):
        end = min(stimulus + int(100.0 / (interval * 1000.0) + 0.5), stimuli[number + 1] if number + 1 < len(stimuli)
                  else len(x))
        entries = []
        for t in range(stimulus + 10, end):
            ring = x[t - 10:t + 1]
            middle = ring[5]
            others = ring[:5] + ring[6:]
            if all(middle >= v for v in others):
                is_peak = True
            elif all(middle <= v for v in others):
                is_peak = False
            else:
                continue
            entry = (t - 5, middle)
            if not entries:
                entries = [entry] if is_peak else []
            elif is_peak == (len(entries) % 2 == 0):
                entries.append(entry)
                if len(entries) == 5:
                    p0, t1, p2, t3, p4 = (v for _, v in entries)
                    h1, h2 = p0 - 2 * t1 + p2, p2 - 2 * t3 + p4
                    lowest = entries[3] if t3 <= t1 else entries[1]
                    h3 = p0 - 2 * lowest[1] + p4
                    if h2 >= h1 and h2 >= h3:
                        entries = entries[2:]
                    elif h3 >= h1 and h3 >= h2:
                        entries = [entries[0], lowest, entries[4]]
                    else:
                        entries = entries[:3]
            elif (entry[1] > entries[-1][1]) if is_peak else (entry[1] < entries[-1][1]):
                entries[-1] = entry
        if len(entries) < 3:
            continue
        (first, first_value), (trough, trough_value), (second, second_value) = entries[:3]
        between = sum(x[first:second])
        f = (trough - first) / (second - first)
        events.append({"TStart": first * interval,
                       "PopSpikeHeight": ((1 - f) * first_value + f * second_value) - trough_value,
                       "PopSpikeArea": ((second_value + first_value) * 0.5 * (second - first) - between) * interval})
    return events


def popspike():
    """Three sweeps of 100 ms at 20 kHz of an extracellular field: a 0.2 ms stimulus at 15 ms with its artefact, a
    positive field EPSP and a negative population spike at about 19 ms whose depth grows from sweep to sweep, over a
    level that drifts slowly by 0.02 mV. Beside the recording: its events and the analysis table (type 4 at the
    defaults) measured on the samples without noise, with each column's tolerance for the noise."""

    def response(sweep, time_ms):
        v = 0.02 * math.sin(2.0 * math.pi * (sweep * 100.0 + time_ms) / 900.0)
        if 15.0 <= time_ms < 15.4:
            v += 2.5 * math.sin(math.pi * (time_ms - 15.0) / 0.4)        # artefact
        k = time_ms - 16.0
        if k >= 0:
            v += 0.8 * (1.0 - math.exp(-k / 1.5)) * math.exp(-k / 12.0)     # field EPSP
        return v - (0.6, 1.2, 1.9)[sweep] * math.exp(-((time_ms - 19.0) / 0.8) ** 2)  # population spike

    interval = 0.00005
    sizes = (2000, 2000, 2000)
    blocks = stimulated_sweeps(11, sizes, interval, 15.0, 0.2, response, 0.02)
    write("popspike.txt", ["Time (ms)", "Field (mV)", "Stim (V)"], blocks, interval, 1000.0, 4)
    clean_blocks = clean_sweeps(sizes, interval, response)
    write_table("popspike.table.txt", POPSPIKE_COLUMNS, clean_blocks, lambda x: population_spikes(x, interval), 0.02, 4,
                tick_floors(POPSPIKE_COLUMNS, interval), 12)
    write_truth("popspike.events.txt", ["block", "stimulus (s)", "spike (s)", "depth (mV)"],
                [(str(sweep + 1), 0.015, 0.019, depth) for sweep, depth in enumerate((0.6, 1.2, 1.9))])


def neuronal_potential(k, height, ahp):
    """A neuronal action potential k ms after its onset, over its resting level: a smooth upstroke of about 0.4 ms
    to its peak near 0.6 ms, a fall of about 0.5 ms below rest and an after-hyperpolarisation of ahp mV that
    recovers with tau 6 ms."""
    if k < -2.0:
        return 0.0

    def rising(x):
        return 1.0 / (1.0 + math.exp(-x))

    spike = rising((k - 0.3) / 0.06) * (1.0 - rising((k - 1.0) / 0.12))
    after = rising((k - 1.05) / 0.15) * math.exp(-(k - 1.05) / 6.0)
    return height * spike - ahp * after


def spikes():
    """Two blocks of 0.6 s at 10 kHz of neuronal action potentials: rest near -65 mV with a slow drift of 0.3 mV
    and 0.15 mV of noise, smooth spikes of 75 to 95 mV and after-hyperpolarisations of 4 to 8 mV that recover with
    tau 6 ms; spikes 40 to 120 ms apart. The events give each spike's onset, its peak, and its height and AHP
    depth from the resting level, all of the samples without noise."""
    noise = Noise(5150)
    interval = 0.0001
    blocks = []
    clean_blocks = []
    truth = []
    for length in (6000, 6000):
        spikes = []
        onset = int(noise.between(100, 400))
        while onset < length - 300:
            spikes.append((onset, noise.between(80.0, 100.0), noise.between(4.0, 8.0)))
            onset += int(noise.between(400, 1200))
        drift_phase = noise.between(0.0, 6.28)
        clean = []
        for t in range(length):
            v = -65.0 + 0.3 * math.sin(2.0 * math.pi * t * interval / 1.9 + drift_phase)
            for start, height, ahp in spikes:
                if t >= start - 20:
                    v += neuronal_potential((t - start) * interval * 1000.0, height, ahp)
            clean.append(v)
        for start, height, ahp in spikes:
            rest = -65.0 + 0.3 * math.sin(2.0 * math.pi * start * interval / 1.9 + drift_phase)
            top = max(range(start, start + 20), key=lambda t: clean[t])
            trough = min(clean[start + 10:start + 100])
            truth.append((str(len(blocks) + 1), start * interval, top * interval, clean[top] - rest, rest - trough,
                          rest))
        clean_blocks.append(clean)
        blocks.append([[v + noise.gauss(0.15)] for v in clean])
    write("spikes.txt", ["Time (s)", "Vm (mV)"], blocks, interval, 1.0, 2)
    write_truth("spikes.events.txt", ["block", "onset (s)", "peak (s)", "height (mV)", "ahp (mV)", "rest (mV)"],
                truth)
    write_table("spikes.table.txt", SPIKE_COLUMNS, clean_blocks,
                lambda x: peak_chain(x, interval, cardiac_peaks(x, 30.0), 12), 0.15, 2,
                tick_floors(SPIKE_COLUMNS, interval), 5151)


def currents():
    """Two blocks of 0.8 s at 10 kHz of synaptic currents in voltage clamp: a holding current near -30 pA that drifts
    slowly by 1.5 pA, with 2 pA of noise, and inward events of 15 to 60 pA that rise with tau 0.3 ms and decay with
    tau 4 ms, 15 to 90 ms apart."""
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
            v = -30.0 + 1.5 * math.sin(2.0 * math.pi * (len(blocks) * 0.8 + t * interval) / 2.3)
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
