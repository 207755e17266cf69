#!/usr/bin/env python3
"""The globe half of the benchmark (bench/run.sh --with-globe).

Converts each NMEA log in the plain form and with --viewer (RUNS times each,
medians), and with the peer when one is given (its KML packed into a KMZ so that
it loads the same way); loads every --viewer KMZ into CesiumJS RUNS times
through bench/globe.sh (medians: one load scatters by about 0.5 s) and every
other KMZ once; prints a table and each globe target met, missed or not
measured:

  (a) with --viewer the longest 1 Hz log reaches its first complete frame in
      under 3 s and in under 5 % of the time its plain KMZ takes, in this run;
  (b) the --viewer NormalTrack of the shortest 1 Hz log passes every fix of the
      plain one within the line tolerance (5 m, +1e-6 for rounding),
      measured as the distance to the great-circle arc between the kept fixes
      around it, on the sphere the converter measures on;
  (c) the --viewer conversion takes at most 1.1 times the plain one (medians),
      for every log.

  globe_bench.py --converter PROGRAM --work DIR [--runs N] [--timeout S]
                 [--peer PROGRAM] LABEL:HZ:LOG...
"""
import argparse
import math
import os
import re
import statistics
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
EARTH_RADIUS_METRES = 6371008.8  # kml/thinning.h's kEarthRadiusMetres
LINE_TOLERANCE = 5               # the --viewer preset's (run/extras.h)
ROUNDING = 1e-6


def convert(argv):
    start = time.perf_counter()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def kml_text(path):
    """The KMZ's KML document: its first .kml entry."""
    with zipfile.ZipFile(path) as z:
        name = next(n for n in z.namelist() if n.lower().endswith(".kml"))
        return z.read(name).decode("utf-8", "replace")


def placemark_count(path):
    return len(re.findall(r"<(?:kml:)?Placemark[\s/>]", kml_text(path)))


# --- (b): the lines against the fixes ---------------------------------------------

def track_lines(path):
    """The coordinates of every NormalTrack line, as lists of (lon, lat) text pairs."""
    lines = []
    pattern = re.compile(r"<name>NormalTrack</name>.*?<coordinates>(.*?)</coordinates>", re.S)
    for block in pattern.findall(kml_text(path)):
        points = []
        for row in block.split():
            lon, lat = row.split(",")[:2]
            points.append((lon, lat))
        lines.append(points)
    return lines


def radians(point):
    return math.radians(float(point[1])), math.radians(float(point[0]))


def central_angle(p, q):
    """Haversine: keeps its precision for fixes centimetres apart."""
    (f1, l1), (f2, l2) = radians(p), radians(q)
    h = math.sin((f2 - f1) / 2) ** 2 + math.cos(f1) * math.cos(f2) * math.sin((l2 - l1) / 2) ** 2
    return 2 * math.asin(min(1.0, math.sqrt(h)))


def bearing(p, q):
    (f1, l1), (f2, l2) = radians(p), radians(q)
    return math.atan2(math.sin(l2 - l1) * math.cos(f2),
                      math.cos(f1) * math.sin(f2) - math.sin(f1) * math.cos(f2) * math.cos(l2 - l1))


def metres_to_arc(p, a, b):
    """Great-circle distance from p to the arc a-b: the cross-track distance when
    p's foot lies between the ends (the angles at a and at b are at most 90°),
    otherwise the distance to the nearer end. Bearings and haversines rather than
    cross products of unit vectors, whose rounding is centimetres on short arcs."""
    if a == b or central_angle(a, b) == 0:
        return EARTH_RADIUS_METRES * central_angle(p, a)
    d13 = central_angle(a, p)
    if d13 == 0:
        return 0.0
    turn = bearing(a, p) - bearing(a, b)
    if math.cos(turn) < 0:
        return EARTH_RADIUS_METRES * d13
    if math.cos(bearing(b, p) - bearing(b, a)) < 0:
        return EARTH_RADIUS_METRES * central_angle(b, p)
    return EARTH_RADIUS_METRES * abs(math.asin(math.sin(d13) * math.sin(turn)))


def check_tolerance(plain_kmz, viewer_kmz):
    """(worst distance in metres, fixes checked, fixes kept, problem or None)."""
    plain = track_lines(plain_kmz)
    viewer = track_lines(viewer_kmz)
    if len(plain) != len(viewer) or not plain:
        return None, 0, 0, f"{len(plain)} plain NormalTrack lines against {len(viewer)} with --viewer"
    worst, checked, kept = 0.0, 0, 0
    for fixes, line in zip(plain, viewer):
        # A fix without a position is left out of the simplified line.
        fixes = [f for f in fixes if (float(f[0]), float(f[1])) != (0.0, 0.0)]
        kept += len(line)
        # The kept fixes are fixes of the plain line, in its order.
        at = []
        j = 0
        for point in line:
            while j < len(fixes) and fixes[j] != point:
                j += 1
            if j == len(fixes):
                return None, checked, kept, f"kept point {point} is no fix of the plain line (or out of order)"
            at.append(j)
            j += 1
        if at[0] != 0 or at[-1] != len(fixes) - 1:
            return None, checked, kept, "a line does not start and end at the first and last fix"
        for k in range(len(at) - 1):
            a, b = line[k], line[k + 1]
            for i in range(at[k], at[k + 1] + 1):
                worst = max(worst, metres_to_arc(fixes[i], a, b))
                checked += 1
    return worst, checked, kept, None


# --- the globe ----------------------------------------------------------------------

def load_in_globe(files, timeout):
    """bench/globe.sh's row per file: {path: (loaded s, frame s, entities, errors)},
    None for a time it did not give; `files` is {path: loads}, the times the
    medians of the loads that gave one. Each load in a browser of its own: after
    the plain day the browser is too spent to open the next page in time."""
    rows = {}
    for file, loads in files.items():
        runs = [load_one_in_globe(file, timeout).get(file, (None, None, None, 0)) for _ in range(loads)]
        median = lambda values: statistics.median(values) if values else None
        rows[file] = (median([r[0] for r in runs if r[0] is not None]),
                      median([r[1] for r in runs if r[1] is not None]),
                      runs[-1][2], max(r[3] for r in runs))
    return rows


def load_one_in_globe(file, timeout):
    run = subprocess.run(["bash", os.path.join(HERE, "globe.sh"), "--timeout", str(timeout), file],
                         stdout=subprocess.PIPE, text=True)
    rows = {}
    for line in run.stdout.splitlines()[1:]:
        fields = line.split()
        # file, size (two words when it has a unit), loaded, frame, entities,
        # billboards, polylines, errors, blocked
        if len(fields) < 9:
            continue
        number = lambda text: None if text == "-" else float(text)
        rows[fields[0]] = (number(fields[-7]), number(fields[-6]), number(fields[-5]), int(fields[-2]))
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=1800)
    parser.add_argument("--peer")
    parser.add_argument("cases", nargs="+", metavar="LABEL:HZ:LOG")
    args = parser.parse_args()

    rows = []  # [name, kmz, conversion median]
    by_case = {}
    for case in args.cases:
        label, hz, log = case.split(":", 2)
        for form, extra in (("plain", []), ("viewer", ["--viewer"])):
            kmz = os.path.join(args.work, f"globe-{label}-{form}.kmz")
            print(f"globe {label} {form}: {args.runs} conversions", file=sys.stderr)
            wall = statistics.median(convert([args.converter, *extra, log, kmz]) for _ in range(args.runs))
            rows.append([f"{label} {form}", kmz, wall])
            by_case[(label, form)] = (hz, kmz, wall)
        if args.peer:
            kml = os.path.join(args.work, f"globe-{label}-peer.kml")
            kmz = os.path.join(args.work, f"globe-{label}-peer.kmz")
            print(f"globe {label} peer: {args.runs} conversions", file=sys.stderr)
            try:
                wall = statistics.median(
                    convert([args.peer, "-i", "nmea", "-f", log, "-o", "kml", "-F", kml]) for _ in range(args.runs))
                with zipfile.ZipFile(kmz, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
                    z.write(kml, "doc.kml")
                os.unlink(kml)
                rows.append([f"{label} peer", kmz, wall])
            except (subprocess.CalledProcessError, OSError) as err:
                print(f"globe {label} peer: skipped, it produced no KML ({err})", file=sys.stderr)

    globe = load_in_globe({kmz: args.runs if name.endswith(" viewer") else 1 for name, kmz, _ in rows},
                          args.timeout)

    def fmt(value, digits=2):
        return "-" if value is None else f"{value:.{digits}f}"

    print("\nGlobe: each KMZ loaded into CesiumJS in headless Chromium (software rendering), the\n"
          f"--viewer ones {args.runs} times (medians), the others once; conversion wall time the median\n"
          f"of {args.runs} runs; seconds; MB = 10^6 bytes\n")
    header = ("case", "KMZ MB", "convert", "loaded", "frame", "placemarks", "entities", "errors")
    print("%-16s %8s %8s %8s %8s %10s %9s %6s" % header)
    frames = {}
    for name, kmz, wall in rows:
        loaded, frame, entities, errors = globe.get(kmz, (None, None, None, None))
        frames[name] = frame
        print("%-16s %8.2f %8.3f %8s %8s %10d %9s %6s" % (
            name, os.path.getsize(kmz) / 1e6, wall, fmt(loaded), fmt(frame), placemark_count(kmz),
            "-" if entities is None else int(entities), "-" if errors is None else errors))
    print("\nloaded: until the KML data source has loaded; frame: until the first frame with all of\n"
          "the file in it (bench/globe/globe.js). '-': not loaded within the timeout "
          f"({args.timeout:g} s) or failed.\n")

    print("Globe targets")
    ones = [(label, hz) for (label, form), (hz, _, _) in by_case.items() if form == "plain" and hz == "1"]
    # The 1 Hz cases in the order given: the first is the shortest, the last the longest.
    if ones:
        day = ones[-1][0]
        viewer, plain = frames.get(f"{day} viewer"), frames.get(f"{day} plain")
        if viewer is None:
            print(f"  (a) {day} --viewer first complete frame: not measured (it did not load)")
        elif plain is None:
            print(f"  (a) {day} --viewer first complete frame: {viewer:.2f} s (< 3 s: "
                  f"{'met' if viewer < 3 else 'MISSED'}); against the plain KMZ: not measured "
                  "(the plain one did not load within the timeout)")
        else:
            share = viewer / plain
            met = viewer < 3 and share < 0.05
            print(f"  (a) {day} --viewer first complete frame: {viewer:.2f} s, {100 * share:.1f} % of the "
                  f"plain {plain:.2f} s (target < 3 s and < 5 %: {'met' if met else 'MISSED'})")
        hour = ones[0][0]
        worst, checked, kept, problem = check_tolerance(by_case[(hour, "plain")][1], by_case[(hour, "viewer")][1])
        if problem:
            print(f"  (b) {hour} --viewer NormalTrack against the fixes: MISSED: {problem}")
        else:
            met = worst <= LINE_TOLERANCE + ROUNDING
            print(f"  (b) {hour} --viewer NormalTrack: {kept} of the fixes kept, {checked} fixes within "
                  f"{worst:.4f} m of the line (target <= {LINE_TOLERANCE} m: {'met' if met else 'MISSED'})")
    for (label, form), (hz, _, wall) in by_case.items():
        if form != "plain":
            continue
        ratio = by_case[(label, "viewer")][2] / wall
        print(f"  (c) {label} --viewer conversion: {ratio:.2f} times the plain one "
              f"(target <= 1.10: {'met' if ratio <= 1.10 else 'MISSED'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
