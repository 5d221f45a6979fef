#!/usr/bin/env python3
"""Poll rate of the whole window against tessvar-sim over loopback TCP.

Runs tessvar-cli with a 10 ms poll period for 10 s against a simulator serving the TCP
sample (one request per data set), then prints data sets per second beside the period's
ideal and the CPU time the front end used per data set. Usage:
  poll_rate.py TESSVAR_CLI TESSVAR_SIM SAMPLES_DIR [seconds] [period_ms]
"""
import os, resource, signal, subprocess, sys, tempfile, time

cli, sim, samples = sys.argv[1:4]
seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 10.0
period = int(sys.argv[5]) if len(sys.argv) > 5 else 10
dat = os.path.join(samples, "tcp-two-channel.dat")

server = subprocess.Popen([sim, "--dat", dat, "--tcp", "127.0.0.1:0"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True)
try:
    line = server.stdout.readline()
    port = line.strip().rsplit(":", 1)[1]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    # A file, not a pipe: a full pipe would hold the run up.
    sink = tempfile.TemporaryFile(mode="w+")
    run = subprocess.Popen([cli, "--dat", dat, "--ip", "127.0.0.1", "--port", port,
                            "--poll-ms", str(period)], stdout=sink,
                           stderr=subprocess.DEVNULL, text=True)
    time.sleep(seconds)
    run.send_signal(signal.SIGINT)
    run.wait(timeout=10)
    sink.seek(0)
    out = sink.read()
    elapsed = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
finally:
    server.send_signal(signal.SIGINT)
    server.wait(timeout=10)

sets = len(out.splitlines())
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
ideal = 1000.0 / period
print(f"poll period {period} ms for {elapsed:.1f} s: {sets} data sets, "
      f"{sets / elapsed:.1f}/s (ideal {ideal:.0f}/s, {100 * sets / elapsed / ideal:.0f}%), "
      f"CPU {1e6 * cpu / max(sets, 1):.0f} us per data set")
