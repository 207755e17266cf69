#!/usr/bin/env python3
"""The live run's own costs, measured on the whole program fed through standard input.

  python3 bench/live_bench.py PROGRAM SIMULATE_LOG WORK_DIR [--speedup N] [--latency-seconds S]

CPU: a simulated hour at 10 Hz (simulate_log --hours 1 --rate 10 --satellites 12)
is fed N times faster than real time (default 20) with the refresh interval
N times shorter (2 s / N), so that the run makes the refreshes of a real hour,
each of the same size (the open stretch depends on epochs, not on time), and
decodes the same bytes: the CPU time it takes is that of a real hour. The
process's CPU time (user + system, /proc) is read when the last byte has been
fed and the last refresh made, before the run is ended, so the final
conversion of the recording is not in it. Target: at most 5 % of one core,
averaged over the hour.

Latency: epochs fed at 10 Hz in real time for S seconds (default 60) with a
2 s refresh; the KMZ file is read as soon as it changes, and each epoch's
latency is the time from writing its bytes to the first KMZ file holding its
placemark. Target: every fix within the refresh interval + 1 s.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import threading
import time
import zipfile

CPU_TARGET = 0.05
REFRESH = 2.0


def epochs_of(log):
    """The log cut into its epochs: each begins with a GGA sentence."""
    starts = [m.start() for m in re.finditer(rb"\$G[PN]GGA,", log)]
    return [log[a:b] for a, b in zip(starts, starts[1:] + [len(log)])]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def start_live(program, work, name, refresh):
    err = open(os.path.join(work, name + ".err"), "wb")
    return subprocess.Popen(
        [program, "--live", "-", name + ".kmz", "--refresh", str(refresh)],
        cwd=work, stdin=subprocess.PIPE, stderr=err)


def placemark_names(kmz):
    """The numbers of the placemarks of the WayPoints folder."""
    try:
        with zipfile.ZipFile(kmz) as z:
            kml = z.read(z.namelist()[0]).decode("utf-8", "replace")
    except (OSError, zipfile.BadZipFile, IndexError, KeyError):
        return None
    folder = kml.split("<name>WayPoints</name>", 1)[-1].split("</Folder>", 1)[0]
    return [int(n) for n in re.findall(r"<Placemark>\s*<name>(\d+)</name>", folder)]


def measure_cpu(program, simulate, work, speedup):
    log = subprocess.run([simulate, "--hours", "1", "--rate", "10", "--satellites", "12", "--seed", "11"],
                         check=True, stdout=subprocess.PIPE).stdout
    epochs = epochs_of(log)
    live = start_live(program, work, "cpu", REFRESH / speedup)
    start = time.monotonic()
    step = 0.1 / speedup
    batch = max(1, int(0.01 / step))  # write every 10 ms at most
    for i in range(0, len(epochs), batch):
        live.stdin.write(b"".join(epochs[i:i + batch]))
        live.stdin.flush()
        wait = start + (i + batch) * step - time.monotonic()
        if wait > 0:
            time.sleep(wait)
    time.sleep(2 * REFRESH / speedup + 0.5)  # the last refresh
    cpu = cpu_seconds(live.pid)
    fed = time.monotonic() - start
    live.send_signal(signal.SIGINT)
    live.stdin.close()
    status = live.wait()
    share = cpu / 3600
    print(f"CPU over a simulated hour at 10 Hz, refresh {REFRESH:g} s: {cpu:.1f} s of CPU "
          f"({len(epochs)} epochs, {len(log) / 1e6:.1f} MB, fed in {fed:.0f} s at {speedup}x), "
          f"{share * 100:.2f} % of one core; exit status {status}")
    return share


def measure_latency(program, simulate, work, seconds):
    count = int(seconds * 10)
    log = subprocess.run([simulate, "--epochs", str(count), "--rate", "10", "--satellites", "12", "--seed", "5"],
                         check=True, stdout=subprocess.PIPE).stdout
    epochs = epochs_of(log)
    live = start_live(program, work, "latency", REFRESH)
    kmz = os.path.join(work, "latency.kmz")
    sent = {}
    seen = set()
    latencies = []
    done = threading.Event()

    def watch():
        last = None
        while not done.is_set():
            try:
                stamp = os.stat(kmz).st_mtime_ns
            except OSError:
                stamp = None
            if stamp is not None and stamp != last:
                now = time.monotonic()
                last = stamp
                for n in placemark_names(kmz) or []:
                    if n not in seen and n in sent:
                        seen.add(n)
                        latencies.append(now - sent[n])
            time.sleep(0.01)

    watcher = threading.Thread(target=watch)
    watcher.start()
    start = time.monotonic()
    for i, epoch in enumerate(epochs):
        wait = start + i * 0.1 - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        sent[i] = time.monotonic()
        live.stdin.write(epoch)
        live.stdin.flush()
    time.sleep(REFRESH + 1.5)
    done.set()
    watcher.join()
    live.send_signal(signal.SIGINT)
    live.stdin.close()
    live.wait()
    missing = count - len(latencies)
    worst = max(latencies) if latencies else float("inf")
    mean = sum(latencies) / len(latencies) if latencies else float("inf")
    print(f"fix to KMZ at 10 Hz, refresh {REFRESH:g} s, over {seconds:g} s: mean {mean:.2f} s, "
          f"worst {worst:.2f} s, {missing} of {count} epochs never seen")
    return worst if missing == 0 else float("inf")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("simulate_log")
    parser.add_argument("work")
    parser.add_argument("--speedup", type=int, default=20)
    parser.add_argument("--latency-seconds", type=float, default=60)
    args = parser.parse_args()
    share = measure_cpu(args.program, args.simulate_log, args.work, args.speedup)
    worst = measure_latency(args.program, args.simulate_log, args.work, args.latency_seconds)
    print(f"target: CPU at most {CPU_TARGET * 100:g} % of one core: {'met' if share <= CPU_TARGET else 'missed'}")
    print(f"target: every fix in the KMZ within {REFRESH + 1:g} s: {'met' if worst <= REFRESH + 1 else 'missed'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
