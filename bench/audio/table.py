#!/usr/bin/python3
"""Prints the table of a comparison run: table.py SECONDS NAME JSON [NAME JSON]...

Each JSON is one line of measure.py. The first player is ours; the others are its peers. Per-minute
figures are over each run's steady part (from a second after first audio to the end, with no
recorder on the sink): own CPU, the sound server's CPU, and their sum, the whole machine's cost.
A name given several times (rounds of the same comparison) is shown as the median of its runs,
with the lowest and highest on the line below: the sound server's figures swing from run to run on
a shared or virtual machine, and one run decides nothing. Wake-ups per second (how often the
player's threads and the sound server's were put on a CPU) hardly move with the host's load; CPU
seconds do. With rounds, each peer is also compared round by round (ours against the peer's run of
the same round, a few seconds apart), which cancels the slow swings of the host.
"""
import json
import statistics
import sys


def per_minute(run, key):
    value = run.get(key)
    return None if value is None or not run.get("steady_s") else value * 60 / run["steady_s"]


def figures(run):
    own = per_minute(run, "own_cpu_s")
    server = per_minute(run, "server_cpu_s")
    whole = None if own is None or server is None else own + server
    own_wakeups = per_minute(run, "own_wakeups")
    server_wakeups = per_minute(run, "server_wakeups")
    return {"own": own, "server": server, "whole": whole, "rss": run["peak_rss_mb"],
            "first": run["first_audio_ms"], "cpu": run["cpu_s"],
            "own_wk": None if own_wakeups is None else own_wakeups / 60,
            "server_wk": None if server_wakeups is None else server_wakeups / 60}


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def cell(value, width, digits=2):
    return f"{'n/a':>{width}}" if value is None else f"{value:>{width}.{digits}f}"


def span(values, width, digits=2):
    values = [v for v in values if v is not None]
    text = "n/a" if not values else f"{min(values):.{digits}f}-{max(values):.{digits}f}"
    return f"{text:>{width}}"


def main():
    seconds = float(sys.argv[1])
    pairs = sys.argv[2:]
    runs = {}
    for i in range(0, len(pairs), 2):
        runs.setdefault(pairs[i], []).append(figures(json.loads(pairs[i + 1])))
    rounds = max(len(r) for r in runs.values())
    print(f"{seconds:.0f} s of 128 kbit/s MP3 from a local icecast into a PulseAudio null sink"
          + (f", {rounds} rounds (median, then lowest-highest)" if rounds > 1 else ""))
    print("per minute of playback (steady part):")
    print(f"{'player':<14}{'own CPU s':>10}{'server CPU s':>14}{'whole s':>11}{'peak RSS MB':>13}"
          f"{'first audio ms':>16}{'CPU s, whole process':>22}{'wake-ups/s own':>16}{'server':>8}")
    medians = {}
    for name, rs in runs.items():
        m = {key: median([r[key] for r in rs]) for key in rs[0]}
        medians[name] = m
        first = "n/a" if m["first"] is None else f"{m['first']:.0f}"
        print(f"{name:<14}{cell(m['own'], 10)}{cell(m['server'], 14)}{cell(m['whole'], 11)}"
              f"{cell(m['rss'], 13, 1)}{first:>16}{cell(m['cpu'], 22, 3)}"
              f"{cell(m['own_wk'], 16, 0)}{cell(m['server_wk'], 8, 0)}")
        if len(rs) > 1:
            col = {key: [r[key] for r in rs] for key in rs[0]}
            print(f"{'':<14}{span(col['own'], 10)}{span(col['server'], 14)}{span(col['whole'], 11)}"
                  f"{span(col['rss'], 13, 1)}{span(col['first'], 16, 0)}{span(col['cpu'], 22, 3)}"
                  f"{span(col['own_wk'], 16, 0)}{span(col['server_wk'], 8, 0)}")
    ours_name = next(iter(runs))
    ours = medians[ours_name]
    print(f"{ours_name} as a ratio to each peer (below 1: {ours_name} costs less, starts sooner):")

    def ratio(a, b):
        return "n/a" if a is None or not b else f"{a / b:.2f}"

    for name, m in medians.items():
        if name == ours_name:
            continue
        print(f"  {name:<12} whole CPU {ratio(ours['whole'], m['whole'])}"
              f"   sound server {ratio(ours['server'], m['server'])}"
              f"   memory {ratio(ours['rss'], m['rss'])}"
              f"   first audio {ratio(ours['first'], m['first'])}"
              f"   server wake-ups {ratio(ours['server_wk'], m['server_wk'])}")
    if rounds > 1:
        print(f"{ours_name} against each peer round by round (ratio of the two runs of a round; "
              "median, lowest-highest, rounds where ours is lower):")
        for name, rs in runs.items():
            if name == ours_name:
                continue
            line = f"  {name:<12}"
            for key, label in (("whole", "whole CPU"), ("server", "sound server")):
                pairs = [(a[key], b[key]) for a, b in zip(runs[ours_name], rs)
                         if a[key] is not None and b[key]]
                if not pairs:
                    continue
                ratios = [a / b for a, b in pairs]
                lower = sum(1 for a, b in pairs if a < b)
                line += (f" {label} {statistics.median(ratios):.2f} ({min(ratios):.2f}-{max(ratios):.2f},"
                         f" lower in {lower} of {len(pairs)})  ")
            print(line.rstrip())


if __name__ == "__main__":
    main()
