#!/usr/bin/python3
"""MP3.DLL's figures at play, each beside mpg123's for the same songs on the same
sink in the same run. Prints them; passes or fails nothing.

  decoder_bench.py --bin BUILD/bench/decoder --work DIR [--cpu-seconds 60]

Both players sound into a private PulseAudio null sink (the end-to-end tests'
session), whose monitor is recorded; the songs are tones, so each is found in the
recording. mp3seq plays through MP3.DLL as the player does.
"""
import argparse
import os
import re
import statistics
import sys

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
import e2elib as e2e  # noqa: E402
from e2elib import check  # noqa: E402

TONES = {"a.mp3": 440.0, "b.mp3": 660.0, "c.mp3": 880.0}


def cpu_of(p):
    """Waits for p; its CPU seconds, all threads."""
    _, _, ru = os.wait4(p.pid, 0)
    p.returncode = 0
    return ru.ru_utime + ru.ru_stime


class Bench:
    def __init__(self, args):
        self.bin = os.path.abspath(args.bin)
        self.work = e2e.fresh_folder(args.work)
        self.args = args

    def songs(self, seconds):
        folder = os.path.join(self.work, f"songs{seconds:g}")
        if not os.path.isdir(folder):
            os.makedirs(folder)
            for name, freq in TONES.items():
                e2e.make_song(os.path.join(folder, name), freq, seconds)
        return [os.path.join(folder, n) for n in TONES]

    def gaps(self, rec, seconds):
        """Silence between consecutive songs of a recording, ms."""
        plays = e2e.plays(rec.x, {n: f for n, f in TONES.items()},
                          {n: seconds for n in TONES})
        out = []
        loud = np.abs(rec.x).max(axis=1) >= e2e.SILENT_RMS
        quiet_ms = np.convolve(~loud, np.ones(e2e.RATE // 1000), "valid") == e2e.RATE // 1000
        for a, b in zip(plays, plays[1:]):
            end = e2e.tone_end(rec.x, a["last"] - 5 * e2e.HOP, TONES[a["song"]])
            check(end is not None, f"no end of {a['song']} found")
            # The gap is the silence after the song's last sound: none when the next
            # song's tone follows at once.
            silent = np.flatnonzero(quiet_ms[end:b["last"]])
            if len(silent) == 0 or silent[0] > e2e.RATE // 1000:
                out.append(0.0)
                continue
            quiet = end + int(silent[0])
            out.append(1000 * (e2e.first_sound(rec.x, quiet, b["last"]) - quiet) / e2e.RATE)
        return out

    def song_change(self):
        seconds = 5
        songs = self.songs(seconds)
        runs = {
            "MP3.DLL (player's path: end message, gettime, new thread)":
                [[os.path.join(self.bin, "mp3seq"), "--tail", "2500", *songs]],
            "mpg123, one process": [["mpg123", "-q", "-o", "pulse", *songs]],
            "mpg123, one process per song": [["mpg123", "-q", "-o", "pulse", s] for s in songs],
        }
        print("== gap at a song change, three 5 s songs on the null sink (ms)")
        for what, commands in runs.items():
            rec = e2e.Recorder(self.s, latency_ms=2)
            for argv in commands:
                self.s.spawn(argv[0].rsplit("/", 1)[-1], argv).wait(60)
            rec.stop()
            gaps = self.gaps(rec, seconds)
            check(gaps, f"no song change found for {what}")
            print(f"{what}: {' '.join(f'{g:.2f}' for g in gaps)}"
                  f"  (sound times -0/+{rec.block_s * 1000:.0f} ms)")

    def cpu(self):
        seconds = self.args.cpu_seconds
        songs = self.songs(20) * max(1, round(seconds / 60))
        print(f"\n== CPU (user + sys, all threads) per minute of playback, "
              f"{len(songs) * 20} s of songs, best of 2, no recorder")
        ours, theirs = [], []
        minutes = len(songs) * 20 / 60
        for _ in range(2):
            ours.append(cpu_of(self.s.spawn("mp3seq", [os.path.join(self.bin, "mp3seq"),
                                                       "--tail", "0", *songs])) / minutes)
            theirs.append(cpu_of(self.s.spawn("mpg123", ["mpg123", "-q", "-o", "pulse",
                                                         *songs])) / minutes)
        o, t = min(ours), min(theirs)
        print(f"MP3.DLL {o:.3f} s/min, mpg123 {t:.3f} s/min, ratio {o / t:.2f}x (target <= 1)")

    def stop_latency(self):
        songs = self.songs(5)
        log = os.path.join(self.work, "stops.txt")
        with open(log, "w") as out:
            self.s.spawn("mp3seq", [os.path.join(self.bin, "mp3seq"), "--stop-after", "1500",
                                    "--tail", "0", *(songs * 4)[:10]], stdout=out).wait(120)
        with open(log) as f:
            ms = sorted(float(m) for m in re.findall(r"stop latency ([\d.]+) ms", f.read()))
        check(ms, "mp3seq reported no stop")
        print("\n== stop latency on the null sink: mp3stop to the end message (ms)")
        print(f"median {statistics.median(ms):.2f}, max {ms[-1]:.2f} over {len(ms)} stops "
              "(target <= 50)")

    def run(self):
        with e2e.Session(self.work) as s:
            self.s = s
            s.env["QT_QPA_PLATFORM"] = "offscreen"  # mp3seq needs no display
            s.start_audio()
            self.song_change()
            self.cpu()
            self.stop_latency()
        return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cpu-seconds", type=float, default=60)
    args = ap.parse_args()
    missing = e2e.missing_tools(["pulseaudio", "pactl", "parec", "lame", "mpg123"])
    check(not missing, "not installed: " + ", ".join(missing) +
          " (scripts/install-deps.sh installs them)")
    return Bench(args).run()


if __name__ == "__main__":
    e2e.main_guard(main)
