#!/usr/bin/env python3
"""Poll cadence of both front ends, measured where it matters: at the peer.

Runs the window (tessvar_qt_bench under Xvfb) and then tessvar-cli, each polling a MODBUS
TCP peer (modbus_peer.py) every PERIOD ms for SECONDS, and prints, from the arrival time
of every request at the peer: the mean interval and its deviation from the period, the
spread of single intervals, and the drift (last arrival against start + n x period).
Figures only, nothing is asserted. Usage:
  cadence.py BUILD_DIR SAMPLES_DIR [seconds=60] [period_ms=100]
"""
import os, signal, statistics, subprocess, sys, tempfile, time

build, samples = sys.argv[1:3]
seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 60
period = int(sys.argv[4]) if len(sys.argv) > 4 else 100
here = os.path.dirname(os.path.abspath(__file__))
peer = os.path.join(here, "modbus_peer.py")
dat = os.path.join(samples, "tcp-two-channel.dat")


def find(name):
    for root, _, files in os.walk(build):
        if name in files and os.access(os.path.join(root, name), os.X_OK):
            return os.path.join(root, name)
    sys.exit("%s is not built" % name)


def report(name, log):
    with open(log) as f:
        t = [float(x) for x in f if x.strip()]
    # The first request goes out with "Старт"; the cadence is that of the timer after it.
    t = t[1:]
    if len(t) < 3:
        print("%-12s too few requests (%d)" % (name, len(t)))
        return
    d = [(b - a) * 1000 for a, b in zip(t, t[1:])]
    mean = statistics.mean(d)
    drift = (t[-1] - t[0]) * 1000 - period * (len(t) - 1)
    print("%-12s %5d requests  mean %.3f ms (%+.3f %%)  intervals %.1f..%.1f ms, sd %.2f  "
          "drift over the run %+.1f ms" % (name, len(t), mean, 100 * (mean - period) / period,
                                            min(d), max(d), statistics.pstdev(d), drift))


def window(log, watch=False):
    env = dict(os.environ, CADENCE_LOG=log, QT_QPA_PLATFORM="xcb")
    if watch:
        env["TESSVAR_BENCH_WATCH"] = "1"
    subprocess.run(["xvfb-run", "-a", find("tessvar_qt_bench"), "run", str(seconds), str(period),
                    peer, dat], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def cli(log):
    env = dict(os.environ, CADENCE_LOG=log)
    server = subprocess.Popen([sys.executable, peer, "--tcp", "127.0.0.1:0"], env=env,
                              stdout=subprocess.PIPE, text=True)
    try:
        port = server.stdout.readline().strip().rsplit(":", 1)[1]
        run = subprocess.Popen([find("tessvar-cli"), "--dat", dat, "--ip", "127.0.0.1",
                                "--port", port, "--poll-ms", str(period)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(seconds)
        run.send_signal(signal.SIGINT)
        run.wait(timeout=10)
    finally:
        server.terminate()
        server.wait()


print("poll period %d ms, %d s per front end" % (period, seconds))
# "window+watch": the same with the "Обмен" and "Тренд" windows open (every quantity plotted).
for name, runner in (("window", window), ("window+watch", lambda log: window(log, True)), ("tessvar-cli", cli)):
    with tempfile.NamedTemporaryFile(suffix=".log") as log:
        runner(log.name)
        report(name, log.name)
