"""Python's where against the engine and the command line on the same 10^6 points.

    PYTHONPATH=build/python python3 bench/where/bench_where.py DATAFILE BUILD_DIR

Prints points per second of trazon.Geometry.where (one thread, all cores), of bench_where on the
same points (the engine without Python), and of trazon-cli where (one point per run).
"""
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

import trazon

path, build = sys.argv[1], sys.argv[2]
g = trazon.load(path)
box = np.array(g.box).reshape(3, 2)
pts = np.random.default_rng(1).uniform(box[:, 0], box[:, 1], size=(1_000_000, 3))
# one thread by the thread's CPU time (what a core spends, whatever the neighbours do), all
# cores by the wall clock, best of three: as bench_where measures
for threads, name, clock in ((1, "one thread", time.thread_time), (0, "all cores", time.perf_counter)):
    best = np.inf
    for _ in range(3):
        t0 = clock()
        g.where(pts, threads=threads)
        best = min(best, clock() - t0)
    print(f"python where, {name}: {len(pts) / best:.3g} points/s")
with tempfile.TemporaryDirectory() as d:
    f = os.path.join(d, "points.f64")
    pts.astype("<f8").tofile(f)
    print(subprocess.run([os.path.join(build, "bench/where/bench_where"), path, f],
                         capture_output=True, text=True).stdout, end="")
cli = os.path.join(build, "app/trazon-cli")
runs = 20
t0 = time.perf_counter()
for k in range(runs):
    x, y, z = pts[k]
    subprocess.run([cli, "where", path, str(x), str(y), str(z)], check=True, capture_output=True)
print(f"trazon-cli where: {runs / (time.perf_counter() - t0):.3g} points/s (one point per run)")
