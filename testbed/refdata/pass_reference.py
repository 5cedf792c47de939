#!/usr/bin/python3
"""Reference passes for the station's pass search, from python3-skyfield find_events.

Ten element sets of station/tests/data/elements-2025-178.txt with B* and the mean-motion
derivatives set to 0 (the station's model has no drag), the demo station (52.2 N, 0.12 W, 20 m),
three days from 2025-06-28 00:00 UTC. For each pass: catalogue, AOS and LOS (Unix seconds,
fractional), time and degrees of the highest elevation. Horizon 0 degrees, no refraction.

Writes station/tests/data/pass_reference.csv; --check compares with the committed file.
  --bench  times find_events for the benchmark's 50 element sets over 7 days and prints it.
"""
import argparse
import math
import os
import sys
import time

try:
    import numpy as np
    from sgp4.api import Satrec, WGS72
    from skyfield.api import EarthSatellite, load, wgs84
except ImportError as e:  # the test runner counts 77 as skipped
    print('skipped: %s' % e)
    sys.exit(77)

sys.path.insert(0, os.path.dirname(__file__))
from orbit_reference import read_sets, utc, DATA, ELEMENTS  # noqa: E402

SITE_LAT, SITE_LON_EAST, SITE_HEIGHT_M = 52.2, -0.12, 20.0
START_UNIX = 1751068800  # 2025-06-28 00:00:00 UTC
OUT = os.path.join(DATA, 'pass_reference.csv')


def bench_sets(sets, ts):
    """50 element sets: the 20 committed ones, then variants with RAAN and mean anomaly turned
    (the same recipe as bench/schedule.cpp)."""
    out = []
    for k in range(50):
        name, l1, l2 = sets[k % len(sets)]
        base = Satrec.twoline2rv(l1, l2, WGS72)
        turn = k // len(sets)
        if turn == 0:
            out.append(EarthSatellite.from_satrec(base, ts))
            continue
        s = Satrec()
        s.sgp4init(WGS72, 'i', base.satnum, base.jdsatepoch - 2433281.5 + base.jdsatepochF,
                   0.0, 0.0, 0.0, base.ecco, base.argpo, base.inclo,
                   math.fmod(base.mo + math.radians(37.0 * turn), 2 * math.pi), base.no_kozai,
                   math.fmod(base.nodeo + math.radians(11.0 * turn), 2 * math.pi))
        out.append(EarthSatellite.from_satrec(s, ts))
    return out


def refine(sat, site, ts, u, rising):
    """find_events' rise or set time polished by bisection on skyfield's own altitude: its
    search stops at a coarse tolerance for some orbits (seconds off for FENGYUN 3A)."""
    lo, hi = u - 10.0, u + 10.0
    def up(x):
        return (sat - site).at(utc(ts, x)).altaz()[0].degrees > 0.0
    if up(lo) == up(hi):
        return u
    while hi - lo > 0.001:
        mid = (lo + hi) / 2
        if up(mid) == rising:
            hi = mid
        else:
            lo = mid
    return (lo + hi) / 2


def passes(sat, site, ts, start, days, polish=True):
    t0, t1 = utc(ts, start), utc(ts, start + days * 86400)
    t, ev = sat.find_events(site, t0, t1, altitude_degrees=0.0)
    rows = []
    aos = None
    top = None
    for ti, e in zip(t, ev):
        u = (ti.tt - 2440587.5) * 86400.0 - 69.184  # TT -> Unix seconds (UT1 = UTC pinned)
        if polish and e != 1:
            u = refine(sat, site, ts, u, e == 0)
        if e == 0:
            aos, top = u, None
        elif e == 1 and aos is not None:
            alt, _, _ = (sat - site).at(ti).altaz()
            top = (u, alt.degrees)
        elif e == 2 and aos is not None and top is not None:
            rows.append((aos, u, top[0], top[1]))
            aos = None
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--check', action='store_true')
    ap.add_argument('--bench', action='store_true')
    args = ap.parse_args()
    ts = load.timescale(delta_t=69.184)
    sets = read_sets(ELEMENTS)
    site = wgs84.latlon(SITE_LAT, SITE_LON_EAST, elevation_m=SITE_HEIGHT_M)
    if args.bench:
        sats = bench_sets(sets, ts)
        began = time.perf_counter()
        count = sum(len(passes(s, site, ts, START_UNIX, 7, polish=False)) for s in sats)
        took = time.perf_counter() - began
        print('skyfield find_events: 50 satellites, 7 days: %d passes in %.2f s' % (count, took))
        return 0
    lines = []
    for name, l1, l2 in sets[:10]:
        sat = EarthSatellite(l1, l2, name, ts)
        cat = int(l1[2:7])
        for aos, los, tca, el in passes(sat, site, ts, START_UNIX, 3):
            lines.append('%d,%.3f,%.3f,%.3f,%.4f' % (cat, aos, los, tca, el))
    header = 'catalogue,aos_unix,los_unix,tca_unix,max_elevation_deg'
    if args.check:
        old = [l.rstrip('\n') for l in open(OUT)][1:]
        if len(old) != len(lines):
            print('%d passes, the committed file has %d' % (len(lines), len(old)))
            return 1
        worst = max(abs(float(x) - float(y)) for a, b in zip(old, lines)
                    for x, y in zip(a.split(','), b.split(',')))
        print('largest difference %.3g' % worst)
        return 0 if worst < 0.01 else 1
    with open(OUT, 'w') as f:
        f.write(header + '\n' + '\n'.join(lines) + '\n')
    print('%d passes written to %s' % (len(lines), OUT))
    return 0


if __name__ == '__main__':
    sys.exit(main())
