#!/usr/bin/python3
"""Runs one player on a local stream into the PulseAudio null sink and measures the whole machine.

  measure.py --monitor SOURCE --seconds N [--server-pid PID] [--click-window TITLE --click X,Y] -- COMMAND...

Records SOURCE (the null sink's monitor) with parec only until the player's first audio, so that
during the steady part nothing but the player sets the sink's latency; then lets the player play
N seconds, stops it with SIGTERM and prints one JSON line:
  "cpu_s"            user+system CPU seconds of the player's whole process (start-up included)
  "own_cpu_s"        the player's CPU seconds during the steady part (its processes and children)
  "server_cpu_s"     the sound server's CPU seconds during the steady part (PID)
  "own_wakeups", "server_wakeups"
                     how many times the player's threads and the sound server's were put on a CPU
                     during the steady part: unlike CPU seconds, this hardly moves with the load of
                     other machines on the same host, and it is what a device's power state sees
  "steady_s"         length of the steady part, seconds
  "peak_rss_mb"      peak resident memory
  "first_audio_ms"   from starting the command to its first sound reaching the sink
The steady part's CPU seconds come from each thread's scheduler statistics (nanoseconds), not from
/proc/PID/stat, whose clock ticks (10 ms) are too coarse for the few hundredths of a second that a
player spends in a short run.
With --click, the player is expected to stay silent until its window (TITLE) gets a left click at
X,Y (window coordinates): the click is made 2 s after the window appears, and "click_to_audio_ms"
is the time from the click to the first sound.
"""
import argparse
import json
import os
import signal
import subprocess
import sys
import threading
import time

RATE = 44100
THRESHOLD = 300  # 16-bit sample value that counts as sound (the test tone peaks near 2900)


def descendants(pid):
    """PID and its living descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except OSError:
            continue
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def thread_stats(pid):
    """{(pid, tid): (CPU nanoseconds, times put on a CPU)} for every living thread of PID and its
    descendants, from /proc/PID/task/TID/schedstat."""
    stats = {}
    for p in descendants(pid):
        try:
            tids = os.listdir("/proc/%d/task" % p)
        except OSError:
            continue
        for tid in tids:
            try:
                with open("/proc/%d/task/%s/schedstat" % (p, tid)) as f:
                    fields = f.read().split()
                stats[(p, tid)] = (int(fields[0]), int(fields[2]))
            except (OSError, IndexError, ValueError):
                continue
    return stats


def stats_between(before, after):
    """(CPU seconds, times on a CPU) between two thread_stats() snapshots; a thread born in between
    counts whole."""
    cpu_ns = runs = 0
    for key, (ns, n) in after.items():
        ns0, n0 = before.get(key, (0, 0))
        cpu_ns += ns - ns0
        runs += n - n0
    return cpu_ns / 1e9, runs


class Recorder:
    """parec on the monitor; remembers when the first sound after `armed` arrived."""

    def __init__(self, source):
        self.proc = subprocess.Popen(
            ["parec", "--device=" + source, "--raw", "--format=s16le", "--rate=%d" % RATE, "--channels=1",
             "--latency-msec=10"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.armed = None
        self.first = None
        self.samples = 0
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        carry = b""
        while True:
            data = os.read(self.proc.stdout.fileno(), 4096)
            if not data:
                return
            now = time.monotonic()
            data = carry + data
            whole = len(data) // 2 * 2
            carry = data[whole:]
            n = whole // 2
            self.samples += n
            if self.armed is None or self.first is not None:
                continue
            values = memoryview(data[:whole]).cast("h")
            for i in range(n):
                if abs(values[i]) > THRESHOLD:
                    # This read arrived now; sample i of it was played (n - i) samples earlier.
                    self.first = now - (n - i) / RATE
                    break

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()


def peak_rss_kb(pid):
    """The process' own high-water mark. Not wait4()'s ru_maxrss: the kernel carries the RSS of the
    forked copy of this script over the exec into it, so every player would seem at least as large
    as the Python interpreter (some 11 MB)."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--monitor", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--server-pid", type=int, default=int(os.environ.get("TEMBRIK_PULSE_PID", "0")))
    parser.add_argument("--click-window")
    parser.add_argument("--click")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()

    recorder = Recorder(args.monitor)
    deadline = time.monotonic() + 5
    while recorder.samples == 0 and time.monotonic() < deadline:  # parec is connected and delivering
        time.sleep(0.01)
    time.sleep(0.3)  # let the silence before the run flow past

    recorder.armed = time.monotonic()
    start = time.monotonic()
    player = subprocess.Popen(args.command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clicked = None
    if args.click:
        x, y = args.click.split(",")
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", args.click_window],
                               capture_output=True, text=True, timeout=20)
        window = found.stdout.split()[0]
        time.sleep(2)  # start-up done and idle
        if recorder.first is not None:
            sys.exit("sound before the click")
        clicked = time.monotonic()
        subprocess.run(["xdotool", "mousemove", "--window", window, x, y, "click", "1"], check=True)
    deadline = time.monotonic() + 20
    while recorder.first is None and time.monotonic() < deadline and player.poll() is None:
        time.sleep(0.005)
    first = recorder.first
    # The steady part: no recorder holds the sink at a low latency; each player sets it itself.
    recorder.stop()
    time.sleep(1)  # the sink settles at the player's own latency
    steady_start = time.monotonic()
    own0 = thread_stats(player.pid)
    server0 = thread_stats(args.server_pid) if args.server_pid else None
    end = (first if first is not None else start) + args.seconds
    while time.monotonic() < end and player.poll() is None:
        time.sleep(0.1)
    own_cpu, own_wakeups = stats_between(own0, thread_stats(player.pid))
    server_cpu, server_wakeups = (stats_between(server0, thread_stats(args.server_pid)) if server0 is not None
                                  else (None, None))
    steady = time.monotonic() - steady_start
    peak_kb = None
    if player.poll() is None:
        peak_kb = peak_rss_kb(player.pid)
        player.send_signal(signal.SIGTERM)
    _, status, usage = os.wait4(player.pid, 0)
    print(json.dumps({
        "cpu_s": round(usage.ru_utime + usage.ru_stime, 3),
        "own_cpu_s": round(own_cpu, 4),
        "server_cpu_s": None if server_cpu is None else round(server_cpu, 4),
        "own_wakeups": own_wakeups,
        "server_wakeups": server_wakeups,
        "steady_s": round(steady, 1),
        "peak_rss_mb": round((peak_kb if peak_kb is not None else usage.ru_maxrss) / 1024, 1),
        "first_audio_ms": None if first is None else round((first - start) * 1000),
        "played_s": round(time.monotonic() - (first if first is not None else start), 1),
        "click_to_audio_ms": None if clicked is None or first is None else round((first - clicked) * 1000),
    }))
    return 0


if __name__ == "__main__":
    sys.exit(main())
