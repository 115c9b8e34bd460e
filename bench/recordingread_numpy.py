#!/usr/bin/env python3
"""Times numpy.loadtxt on the recordings that bench_recordingread writes, interleaved with the host's reader.

    /usr/bin/python3 bench/recordingread_numpy.py DIR [--bench build/bench_recordingread] [--runs 5] [--samples 1000000 40000000]

DIR holds (or receives) recording_<samples>.txt, as `bench_recordingread --recording_dir=DIR` writes them. Each run
times numpy.loadtxt in a process of its own (wall time of the call, and the peak resident memory it adds), then,
with --bench, the host's reader (ReadRecording) on the same file. The machine's load is printed with each run: a
loaded machine slows the reader's threads more than numpy's single thread. Needs numpy; the project does not.
"""
import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import time


def one_numpy(path):
    import numpy

    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    start = time.perf_counter()
    data = numpy.loadtxt(path, delimiter="\t", skiprows=1)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    print(json.dumps({"ms": seconds * 1e3, "rows": int(data.shape[0]), "peak_bytes": peak * 1024}))


def numpy_run(path):
    out = subprocess.run([sys.executable, __file__, "--one", path], check=True, capture_output=True, text=True)
    return json.loads(out.stdout)


def reader_run(bench, directory, samples):
    out = subprocess.run(
        [bench, f"--recording_dir={directory}", f"--benchmark_filter=^ReadRecording/{samples}/",
         "--benchmark_format=json"],
        check=True, capture_output=True, text=True)
    result = json.loads(out.stdout)["benchmarks"][0]
    return {"ms": result["real_time"], "peak_bytes": result["peak_bytes_per_sample"] * samples}


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--one":
        one_numpy(sys.argv[2])
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--bench")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--samples", type=int, nargs="+", default=[1_000_000, 40_000_000])
    args = parser.parse_args()
    for samples in args.samples:
        path = os.path.join(args.dir, f"recording_{samples}.txt")
        if args.bench and not os.path.exists(path):
            reader_run(args.bench, args.dir, samples)  # writes the file
        megabytes = os.path.getsize(path) / 1e6
        numpy_ms, reader_ms = [], []
        for run in range(args.runs):
            load = os.getloadavg()[0]
            n = numpy_run(path)
            numpy_ms.append(n["ms"])
            line = (f"{samples:>10} run {run + 1}: load {load:5.1f}  numpy.loadtxt {n['ms']:9.1f} ms "
                    f"{megabytes / n['ms'] * 1e3:7.1f} MB/s {n['peak_bytes'] / samples:6.1f} B/sample")
            if args.bench:
                r = reader_run(args.bench, args.dir, samples)
                reader_ms.append(r["ms"])
                line += (f"  reader {r['ms']:8.1f} ms {megabytes / r['ms'] * 1e3:7.1f} MB/s "
                         f"{r['peak_bytes'] / samples:5.2f} B/sample  ratio {n['ms'] / r['ms']:5.2f}")
            print(line, flush=True)
        summary = f"{samples:>10} median: numpy.loadtxt {statistics.median(numpy_ms):9.1f} ms"
        if reader_ms:
            summary += (f", reader {statistics.median(reader_ms):8.1f} ms, "
                        f"ratio {statistics.median(numpy_ms) / statistics.median(reader_ms):5.2f}")
        print(summary, flush=True)


if __name__ == "__main__":
    main()
