#!/usr/bin/python3
"""Scalar propagation rate of python3-sgp4 on this machine, for the ratio with bench_orbit.

Debian's python3-sgp4 is the pure-Python build (sgp4.api.accelerated is False). Propagates one
near-Earth set (NOAA 19 of station/tests/data/elements-2025-178.txt, B* zeroed as the station
runs it) over +/- 3 days and prints propagations per second.

Run: testbed/refdata/sgp4_rate.py [seconds]
"""
import sys
import time

from sgp4.api import Satrec, WGS72, accelerated

L1 = '1 33591U 09005A   25179.17597538  .00000000  00000+0  00000+0 0  9992'
L2 = '2 33591  98.9966 243.9844 0012859 314.3569  45.6549 14.13382343844731'


def main():
    budget = float(sys.argv[1]) if len(sys.argv) > 1 else 3.0
    sat = Satrec.twoline2rv(L1, L2, WGS72)
    n = 0
    minutes = -4320.0
    start = time.perf_counter()
    while True:
        for _ in range(1000):
            sat.sgp4_tsince(minutes)
            minutes += 0.37
            if minutes > 4320.0:
                minutes = -4320.0
        n += 1000
        elapsed = time.perf_counter() - start
        if elapsed >= budget:
            break
    rate = n / elapsed
    print('python3-sgp4 (%s): %.0f propagations per second (%.3g million)'
          % ('accelerated' if accelerated else 'pure Python', rate, rate / 1e6))


if __name__ == '__main__':
    main()
