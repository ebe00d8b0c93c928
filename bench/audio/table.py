#!/usr/bin/python3
"""Prints the table of a comparison run: table.py SECONDS NAME JSON [NAME JSON]...

Each JSON is one line of measure.py. The first player is ours; the others are its peers. Per-minute
figures are over each run's steady part (from a second after first audio to the end, with no
recorder on the sink): own CPU, the sound server's CPU, and their sum, the whole machine's cost.
"""
import json
import sys


def per_minute(run, key):
    value = run.get(key)
    return None if value is None or not run.get("steady_s") else value * 60 / run["steady_s"]


def cell(value, width, digits=2):
    return f"{'n/a':>{width}}" if value is None else f"{value:>{width}.{digits}f}"


def main():
    seconds = float(sys.argv[1])
    pairs = sys.argv[2:]
    runs = [(pairs[i], json.loads(pairs[i + 1])) for i in range(0, len(pairs), 2)]
    print(f"{seconds:.0f} s of 128 kbit/s MP3 from a local icecast into a PulseAudio null sink")
    print("per minute of playback (steady part):")
    print(f"{'player':<14}{'own CPU s':>10}{'server CPU s':>14}{'whole s':>9}{'peak RSS MB':>13}"
          f"{'first audio ms':>16}{'CPU s, whole process':>22}")
    wholes = {}
    for name, run in runs:
        own = per_minute(run, "own_cpu_s")
        server = per_minute(run, "server_cpu_s")
        whole = None if own is None or server is None else own + server
        wholes[name] = whole
        print(f"{name:<14}{cell(own, 10)}{cell(server, 14)}{cell(whole, 9)}{run['peak_rss_mb']:>13.1f}"
              f"{str(run['first_audio_ms']):>16}{run['cpu_s']:>22.3f}")
    ours_name, ours = runs[0]
    print(f"{ours_name} as a ratio to each peer (below 1: {ours_name} costs less, starts sooner):")
    for name, run in runs[1:]:
        def ratio(a, b):
            return "n/a" if a is None or not b else f"{a / b:.2f}"
        print(f"  {name:<12} whole CPU {ratio(wholes[ours_name], wholes[name])}"
              f"   memory {ratio(ours['peak_rss_mb'], run['peak_rss_mb'])}"
              f"   first audio {ratio(ours['first_audio_ms'], run['first_audio_ms'])}")


if __name__ == "__main__":
    main()
