#!/usr/bin/python3
"""Reference numbers for the station's orbit model, from python3-sgp4 and python3-skyfield.

Writes into station/tests/data/ (or the folder given with --out):
  sgp4_reference.csv   TEME position (km) and velocity (km/s) over +/- 3 days from each epoch,
                       from python3-sgp4 with B* and the mean-motion derivatives set to 0
  look_reference.csv   look angles, range, range rate and sub-satellite point from skyfield for
                       the reference station, same zeroed element sets
  sun_reference.csv    the apparent Sun (Meeus, Astronomical Algorithms ch. 25: a formula
                       independent of the station's own) turned Earth-fixed by skyfield's
                       apparent sidereal time and precession-nutation

skyfield carries no planetary ephemeris offline, hence the published solar formula. skyfield's
UT1 is pinned to UTC (constant Delta T = 69.184 s) because the station takes UT1 = UTC; with
real Earth-orientation data the two would differ by |UT1 - UTC| < 0.9 s of Earth rotation.

Run: testbed/refdata/orbit_reference.py [--check] ; --check compares with the committed files.
"""
import argparse
import math
import os
import sys

try:
    import numpy as np
    from sgp4.api import Satrec, WGS72
    from skyfield.api import EarthSatellite, load, wgs84
    from skyfield.framelib import itrs
except ImportError as e:  # the test runner counts 77 as skipped
    print('skipped: %s' % e)
    sys.exit(77)

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
DATA = os.path.join(ROOT, 'station', 'tests', 'data')
ELEMENTS = os.path.join(DATA, 'elements-2025-178.txt')

# The demo station of `orva setup --demo` (52.2 N, 0.12 W, 20 m; also in look_angles_test.cpp).
SITE_LAT, SITE_LON_EAST, SITE_HEIGHT_M = 52.2, -0.12, 20.0


def checksum(line):
    return sum(int(c) if c.isdigit() else (1 if c == '-' else 0) for c in line[:68]) % 10


def zero_drag(line1):
    """Line 1 with the mean-motion derivatives and B* set to zero, checksum renewed."""
    l = line1[:33] + ' .00000000' + ' ' + ' 00000+0' + ' ' + ' 00000+0' + line1[61:68]
    return l + str(checksum(l))


def read_sets(path):
    lines = [l.rstrip('\n') for l in open(path)]
    sets = []
    for i in range(0, len(lines) - 2, 3):
        name, l1, l2 = lines[i].strip(), lines[i + 1], lines[i + 2]
        assert l1[0] == '1' and l2[0] == '2' and checksum(l1) == int(l1[68]) and checksum(l2) == int(l2[68])
        sets.append((name, zero_drag(l1), l2))
    return sets


def sgp4_rows(sets):
    rows = []
    for name, l1, l2 in sets:
        sat = Satrec.twoline2rv(l1, l2, WGS72)
        cat = int(l1[2:7])
        for k in range(-48, 49):  # every 90 minutes over +/- 3 days
            t = k * 90.0
            e, r, v = sat.sgp4_tsince(t)
            assert e == 0, (name, t, e)
            rows.append('%d,%.1f,%.9f,%.9f,%.9f,%.12f,%.12f,%.12f' % ((cat, t) + tuple(r) + tuple(v)))
    return rows


def epoch_unix(l1):
    yy = int(l1[18:20])
    day = float(l1[20:32])
    year = 2000 + yy if yy < 50 else 1900 + yy
    days = (np.datetime64('%04d-01-01' % year) - np.datetime64('1970-01-01')).astype(int)
    return (days + day - 1.0) * 86400.0


def utc(ts, unix):
    """skyfield time of Unix seconds (which skip leap seconds): whole days, then seconds of day."""
    unix = np.asarray(unix, dtype=float)
    days = np.floor(unix / 86400.0)
    return ts.utc(1970, 1, 1 + days, 0, 0, unix - days * 86400.0)


def local_angles(site_xyz, lat, lon, target):
    """Azimuth, elevation (degrees) and range of Earth-fixed targets (km) from the site."""
    d = target - site_xyz[:, None]
    sl, cl = math.sin(math.radians(lat)), math.cos(math.radians(lat))
    so, co = math.sin(math.radians(lon)), math.cos(math.radians(lon))
    north = -sl * co * d[0] - sl * so * d[1] + cl * d[2]
    east = -so * d[0] + co * d[1]
    up = cl * co * d[0] + cl * so * d[1] + sl * d[2]
    rng = np.sqrt(north ** 2 + east ** 2 + up ** 2)
    az = np.degrees(np.arctan2(east, north)) % 360.0
    el = np.degrees(np.arcsin(up / rng))
    return az, el, rng


def look_rows(sets, ts):
    site = wgs84.latlon(SITE_LAT, SITE_LON_EAST, elevation_m=SITE_HEIGHT_M)
    rows = []
    for name, l1, l2 in sets:
        sat = EarthSatellite(l1, l2, name, ts)
        cat = int(l1[2:7])
        start = math.floor(epoch_unix(l1)) - 3 * 86400
        grid = start + np.arange(0, 6 * 86400, 120.0)
        t = utc(ts, grid)
        alt, az, dist = (sat - site).at(t).altaz()
        visible = np.nonzero(alt.degrees > 0.0)[0]
        # Up to 12 visible instants per satellite, spread over the six days.
        pick = visible[np.linspace(0, len(visible) - 1, min(12, len(visible))).astype(int)] if len(visible) else []
        if len(pick) == 0:
            continue
        u = grid[pick]
        # Range rate by central difference over +/- 1 s (error far below 1 mm/s here).
        tt = utc(ts, np.concatenate([u - 1.0, u, u + 1.0]))
        alt3, az3, d3 = (sat - site).at(tt).altaz()
        k = len(u)
        geo = wgs84.geographic_position_of(sat.at(utc(ts, u)))
        for j in range(k):
            rate = (d3.km[2 * k + j] - d3.km[j]) / 2.0
            rows.append('%d,%d,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f' % (
                cat, int(u[j]), az3.degrees[k + j], alt3.degrees[k + j], d3.km[k + j], rate,
                geo.latitude.degrees[j], geo.longitude.degrees[j], geo.elevation.km[j]))
    return rows


def meeus_sun(jd_tt):
    """Apparent right ascension, declination (radians, true equator and equinox of date) and
    distance (au) of the Sun, Meeus, Astronomical Algorithms, 2nd ed., chapter 25."""
    T = (jd_tt - 2451545.0) / 36525.0
    L0 = 280.46646 + 36000.76983 * T + 0.0003032 * T * T
    M = np.radians(357.52911 + 35999.05029 * T - 0.0001537 * T * T)
    e = 0.016708634 - 0.000042037 * T - 0.0000001267 * T * T
    C = ((1.914602 - 0.004817 * T - 0.000014 * T * T) * np.sin(M)
         + (0.019993 - 0.000101 * T) * np.sin(2 * M) + 0.000289 * np.sin(3 * M))
    true_long = L0 + C
    nu = M + np.radians(C)
    R = 1.000001018 * (1 - e * e) / (1 + e * np.cos(nu))
    omega = np.radians(125.04 - 1934.136 * T)
    lam = np.radians(true_long - 0.00569 - 0.00478 * np.sin(omega))
    eps0 = 23.0 + (26.0 + (21.448 - 46.8150 * T - 0.00059 * T * T + 0.001813 * T ** 3) / 60.0) / 60.0
    eps = np.radians(eps0 + 0.00256 * np.cos(omega))
    ra = np.arctan2(np.cos(eps) * np.sin(lam), np.cos(lam))
    dec = np.arcsin(np.sin(eps) * np.sin(lam))
    return ra, dec, R


def sun_rows(ts):
    site = wgs84.latlon(SITE_LAT, SITE_LON_EAST, elevation_m=SITE_HEIGHT_M)
    site_xyz = site.itrs_xyz.km
    au_km = 149597870.7
    # Every 21 days and 15 hours over 2000-2049: all seasons and hours.
    start = 946684800
    u = start + np.arange(0, 50 * 365 // 7, 3) * (7 * 86400 + 5 * 3600)
    t = utc(ts, u)
    ra, dec, r = meeus_sun(t.tt)
    tod = np.array([np.cos(dec) * np.cos(ra), np.cos(dec) * np.sin(ra), np.sin(dec)]) * r * au_km
    gcrs = np.einsum('jin,jn->in', t.M, tod)                 # true of date -> GCRS (skyfield's model)
    fixed = np.einsum('ijn,jn->in', itrs.rotation_at(t), gcrs)  # GCRS -> ITRS (skyfield's Earth rotation)
    lon = np.degrees(np.arctan2(fixed[1], fixed[0]))
    lat = np.degrees(np.arcsin(fixed[2] / np.linalg.norm(fixed, axis=0)))
    az, el, _ = local_angles(site_xyz, SITE_LAT, SITE_LON_EAST, fixed)
    return ['%d,%.9f,%.9f,%.9f,%.9f,%.9f' % (u[i], lat[i], lon[i], r[i], az[i], el[i]) for i in range(len(u))]


def write(path, header, rows):
    text = header + '\n' + '\n'.join(rows) + '\n'
    with open(path, 'w') as f:
        f.write(text)


def compare(path, header, rows, tolerance=1e-6):
    old = [l.rstrip('\n') for l in open(path)][1:]
    if len(old) != len(rows):
        print('%s: %d rows, expected %d' % (path, len(old), len(rows)))
        return False
    worst = 0.0
    for a, b in zip(old, rows):
        for x, y in zip(a.split(','), b.split(',')):
            worst = max(worst, abs(float(x) - float(y)))
    print('%s: largest difference %.3g' % (os.path.basename(path), worst))
    return worst <= tolerance


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--check', action='store_true', help='compare with the committed files')
    ap.add_argument('--out', default=DATA)
    args = ap.parse_args()
    ts = load.timescale(delta_t=69.184)  # UT1 = UTC, as the station assumes
    sets = read_sets(ELEMENTS)
    outputs = [
        ('sgp4_reference.csv', 'catalogue,minutes,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s', sgp4_rows(sets)),
        ('look_reference.csv', 'catalogue,unix_time,azimuth_deg,elevation_deg,range_km,range_rate_km_s,'
                               'latitude_deg,longitude_east_deg,height_km', look_rows(sets, ts)),
        ('sun_reference.csv', 'unix_time,latitude_deg,longitude_east_deg,distance_au,azimuth_deg,elevation_deg',
         sun_rows(ts)),
    ]
    ok = True
    for name, header, rows in outputs:
        path = os.path.join(args.out, name)
        if args.check:
            ok = compare(path, header, rows) and ok
        else:
            write(path, header, rows)
            print('wrote %s (%d rows)' % (path, len(rows)))
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
