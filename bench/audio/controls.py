#!/usr/bin/python3
"""How soon a volume change, mute, unmute and stop of tembrik's audio library are heard.

  controls.py --monitor SOURCE BENCH_AUDIO_CONTROLS URL

Records SOURCE (the null sink's monitor) with parec at a 10 ms latency while bench_audio_controls
plays URL and makes its calls, then prints for each call the time from the call to the change in
the recording (the level crossing halfway from the old level to the new one, in 5 ms windows).
"""
import array
import math
import subprocess
import sys
import threading
import time

RATE = 44100
WINDOW = RATE // 200  # 5 ms


def main():
    if len(sys.argv) != 5 or sys.argv[1] != "--monitor":
        sys.exit(__doc__)
    source, program, url = sys.argv[2:]
    parec = subprocess.Popen(["parec", "--device=" + source, "--raw", "--format=s16le", "--rate=%d" % RATE,
                              "--channels=1", "--latency-msec=10"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    samples = array.array("h")
    arrivals = []  # (samples recorded so far, monotonic time of that read)

    def read():
        carry = b""
        while True:
            data = parec.stdout.read1(4096)
            if not data:
                return
            now = time.monotonic()
            data = carry + data
            whole = len(data) // 2 * 2
            carry = data[whole:]
            samples.frombytes(data[:whole])
            arrivals.append((len(samples), now))

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    time.sleep(0.5)
    calls = []
    with subprocess.Popen([program, url], stdout=subprocess.PIPE, text=True) as player:
        for line in player.stdout:
            what, at = line.split()
            calls.append((what, float(at)))
    time.sleep(0.5)
    parec.terminate()
    parec.wait()
    reader.join()

    def time_of(index):  # when sample `index` reached the recorder: its read's time, less what followed it
        for count, now in arrivals:
            if count > index:
                return now - (count - index) / RATE
        return None

    def index_at(t):
        for count, now in arrivals:
            if now >= t:
                return max(0, count - int((now - t) * RATE))
        return len(samples)

    def level(start):
        chunk = samples[start:start + WINDOW]
        return math.sqrt(sum(v * v for v in chunk) / max(1, len(chunk)))

    targets = {"volume": 0.25, "mute": 0.0, "unmute": 1.0, "stop": 0.0}
    full = None
    print("from the call to the change in the sink's recording (10 ms recorder latency):")
    for what, at in calls:
        start = index_at(at)
        before = level(max(0, start - 4 * WINDOW))
        if what == "volume":
            full = before
        target = targets[what] * (full or before)
        middle = (before + target) / 2
        heard = None
        for i in range(start, min(len(samples), start + RATE), WINDOW // 5):
            value = level(i)
            if (target < before and value < middle) or (target > before and value > middle):
                heard = time_of(i + WINDOW // 2)
                break
        print(f"  {what:<8}" + ("never (within 1 s)" if heard is None else f"{(heard - at) * 1000:6.0f} ms"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
