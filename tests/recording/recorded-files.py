#!/usr/bin/env python3
"""Lists what a recording made, judged against the schedule of the songs the
station played: each song P seconds long, a tone of its own pitch followed by
GAP seconds of silence, song j (from 0) at pitch 440 + 110 * (j mod 5) under
the title "Artist <j+1> - Song <j+1>".

For every file under FOLDER: its duration as ffprobe reads it, its tags,
whether ffmpeg decodes it without an error, the pitches heard in it, and
where each end cut the source: a cut made at a song change lies in the
silence between two songs, its place given as the time into that silence
(0 .. GAP s) and as the position in the source's schedule.

usage: recorded-files.py FOLDER SONG_SECONDS GAP_SECONDS
Exits 1 when a file does not decode cleanly, holds more than one pitch, has
not its own song's tags, or was cut at a song change outside the silence.
"""
import array
import json
import os
import subprocess
import sys

RATE = 8000  # enough for pitches below 1 kHz and cuts to the millisecond
QUIET = 300  # of 32767: below this a 5 ms window is silence


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "format=duration:format_tags:stream_tags",
         "-of", "json", path], capture_output=True, text=True, timeout=60)
    info = json.loads(out.stdout or "{}")
    fmt = info.get("format", {})
    tags = {k.lower(): v for k, v in fmt.get("tags", {}).items()}
    for s in info.get("streams", []):
        tags.update({k.lower(): v for k, v in s.get("tags", {}).items()})
    return float(fmt.get("duration", 0)), tags, out.stderr.strip()


def decode(path):
    out = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", path, "-ac", "1", "-ar", str(RATE), "-f", "s16le", "-"],
        capture_output=True, timeout=120)
    samples = array.array("h")
    samples.frombytes(out.stdout[: len(out.stdout) // 2 * 2])
    return samples, out.stderr.decode(errors="replace").strip()


def loud_windows(samples):
    """For each 5 ms window: True when it holds sound."""
    w = RATE // 200
    return [max(abs(x) for x in samples[i:i + w]) > QUIET for i in range(0, len(samples) - w + 1, w)]


def pitch(samples):
    """The pitch of a stretch of pure tone, from its rising zero crossings."""
    crossings = sum(1 for a, b in zip(samples, samples[1:]) if a < 0 <= b)
    return crossings * RATE / max(1, len(samples))


def pitches(samples, loud):
    """The distinct pitches (rounded to 10 Hz) of every loud half second."""
    found = set()
    w, step = RATE // 200, RATE // 2
    for i in range(0, len(samples) - step + 1, step):
        if all(loud[i // w:(i + step) // w]):
            found.add(int(round(pitch(samples[i:i + step]) / 10.0)) * 10)
    return sorted(found)


def main():
    folder, song, gap = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    bad = []
    rows = []
    for root, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(root, name)
            rel = os.path.relpath(path, folder)
            duration, tags, perr = probe(path)
            samples, derr = decode(path)
            loud = loud_windows(samples)
            heard = pitches(samples, loud)
            lead = next((i for i, x in enumerate(loud) if x), len(loud)) * 0.005
            trail = next((i for i, x in enumerate(reversed(loud)) if x), len(loud)) * 0.005
            title = tags.get("title", "")
            j = int(title.split()[-1]) - 1 if title.split() and title.split()[-1].isdigit() else -1
            want = 440 + 110 * (j % 5) if j >= 0 else None
            partial = rel.startswith("Incomplete" + os.sep)
            rows.append((rel, duration, tags, heard, lead, trail, j))
            errors = (perr + " " + derr).strip()
            if errors:
                bad.append(f"{rel}: {errors}")
            if want is None or any(abs(p - want) > 15 for p in heard) or not heard:
                bad.append(f"{rel}: pitches {heard}, its song's is {want}")
            if tags.get("artist") != f"Artist {j + 1}" or not tags.get("album"):
                bad.append(f"{rel}: tags {tags}")
            # Every end of a complete song, and the inner end of a partial
            # one, is a cut at a song change: it must lie in the silence.
            if not partial and (lead > gap + 0.01 or trail > gap + 0.01 or
                                abs(duration - song) > 0.15):
                bad.append(f"{rel}: {duration:.3f} s, {lead:.3f} s before its tone, "
                           f"{trail:.3f} s after it")
    print(f"{'file':<40} {'ffprobe s':>9} {'pitch Hz':>9}  cut: silence kept before the tone "
          "/ after it (place in the source's schedule)  tags")
    for rel, duration, tags, heard, lead, trail, j in rows:
        # An end inside the tone is where the recording began or ended.
        start = f"{lead * 1000:4.0f} ms ({j * song - lead:7.3f} s)" if lead else "in the tone"
        end = f"{trail * 1000:4.0f} ms ({(j + 1) * song - gap + trail:7.3f} s)" if trail \
            else "in the tone"
        shown = ", ".join(f"{k}={tags[k]}" for k in ("title", "artist", "album", "date", "comment")
                          if k in tags)
        print(f"{rel:<40} {duration:9.3f} {','.join(map(str, heard)):>9}  {start} / {end}  {shown}")
    for line in bad:
        print("BAD:", line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
