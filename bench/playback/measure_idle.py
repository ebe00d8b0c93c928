#!/usr/bin/python3
"""What a player costs the whole machine while it plays nothing.

  measure_idle.py --window TITLE --seconds N [--server-pid PID] [--minimise] -- COMMAND...

Starts COMMAND, waits for its window (TITLE, a regular expression for xdotool), lets it settle
(start-up done, and the audio library's grace before it gives the sound device up), minimises the
window with --minimise, then counts for N seconds the CPU seconds of the player (its processes
and children) and of the sound server (PID), from each thread's scheduler statistics. Prints one
JSON line with "own_cpu_s", "server_cpu_s", "own_wakeups" (times the player's threads got a CPU),
"seconds" and "sink_inputs" (playback streams the server held at the end).
"""
import argparse
import json
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "audio"))
from measure import stats_between, thread_stats  # noqa: E402

SETTLE_S = 8


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--window", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--server-pid", type=int, default=int(os.environ.get("TEMBRIK_PULSE_PID", "0")))
    parser.add_argument("--minimise", action="store_true")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()

    player = subprocess.Popen(args.command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", args.window],
                           capture_output=True, text=True, timeout=120)
    window = found.stdout.split()[0]
    time.sleep(SETTLE_S)
    if args.minimise:
        subprocess.run(["xdotool", "windowminimize", "--sync", window], check=True, timeout=20)
        time.sleep(2)
    own0, server0, start = thread_stats(player.pid), thread_stats(args.server_pid), time.monotonic()
    time.sleep(args.seconds)
    (own, wakeups), (server, _) = stats_between(own0, thread_stats(player.pid)), stats_between(
        server0, thread_stats(args.server_pid))
    seconds = time.monotonic() - start
    inputs = subprocess.run(["pactl", "list", "sink-inputs", "short"], capture_output=True, text=True).stdout
    player.send_signal(signal.SIGTERM)
    try:
        player.wait(timeout=20)
    except subprocess.TimeoutExpired:
        player.kill()
        player.wait()
    print(json.dumps({
        "own_cpu_s": round(own, 4),
        "server_cpu_s": round(server, 4),
        "own_wakeups": wakeups,
        "seconds": round(seconds, 1),
        "sink_inputs": len([line for line in inputs.splitlines() if line.strip()]),
    }))
    return 0


if __name__ == "__main__":
    sys.exit(main())
