#!/usr/bin/python3
"""zampoplay.exe beside mpg123.exe (cross-built from the same Debian source as the
libmpg123 inside MP3.DLL), under the same 64-bit Wine, playing the same song into the
same private PulseAudio sink: CPU per minute of playback and peak memory of each
process, and their ratios. Prints a table; passes or fails nothing.

  windows_bench.py --build BUILD-WIN64 --work DIR [--seconds 30] [--rounds 3]

Each round plays the song in mpg123.exe, then in zampoplay.exe (started with the folder
on its command line, as mpg123.exe is with the file), so that a busy machine weighs on
both alike; the figures are the rounds' means.
"""
import argparse
import os
import shutil
import sys
import time
import zipfile

sys.dont_write_bytecode = True
here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(here, "..", "player"))
import e2elib as e2e  # noqa: E402
import player_bench as pb  # noqa: E402
import windows_e2e as we  # noqa: E402


def measure(pid, seconds):
    """CPU seconds per minute over `seconds` of playback that began a moment ago, and
    the peak memory (MB) of the process."""
    time.sleep(2)  # past the start: the playing alone
    c0 = pb.cpu_s(pid)
    time.sleep(seconds)
    return (pb.cpu_s(pid) - c0) * 60 / seconds, pb.peak_rss_mb(pid)


def run(args):
    build = os.path.abspath(args.build)
    work = e2e.fresh_folder(args.work)
    app = os.path.join(work, "app")
    with zipfile.ZipFile(os.path.join(build, "zampolo-1.0-win64.zip")) as z:
        z.extractall(app)
    mpg123 = os.path.join(build, "mpg123", "bin", "mpg123.exe")
    folder = os.path.join(work, "cancion")
    os.makedirs(folder)
    song = os.path.join(folder, "tono.mp3")
    e2e.make_song(song, 440.0, args.seconds + 10)  # plays to the end of a measurement
    rows = []
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        w = we.Windows(s, work)
        s.run([we.WINE, "cmd.exe", "/c", "exit"])  # Wine's services started, not measured
        shutil.copy2(mpg123, app)
        for _ in range(args.rounds):
            p = s.spawn("mpg123", [we.WINE, os.path.join(app, "mpg123.exe"), "-q", song],
                        cwd=app, env=w.sound)
            rows.append(("mpg123.exe",) + measure(p.pid, args.seconds))
            p.kill()
            p.wait()
            p, wid = w.start(app, "zampoplay.exe", we.PLAYER, args=[we.windows_path(folder)])
            rows.append(("zampoplay.exe",) + measure(p.pid, args.seconds))
            w.x.close_twice(p, wid)
        s.run(["wineserver", "-k"], check_rc=False)
    print(f"{'64-bit Wine, one song':<24} {'CPU s per minute':>17} {'peak memory MB':>15}")
    means = {}
    for name in ("mpg123.exe", "zampoplay.exe"):
        mine = [(c, m) for n, c, m in rows if n == name]
        means[name] = (sum(c for c, _ in mine) / len(mine), max(m for _, m in mine))
        print(f"{name:<24} {means[name][0]:17.2f} {means[name][1]:15.1f}   rounds: " +
              ", ".join(f"{c:.2f}" for c, _ in mine))
    (c1, m1), (c2, m2) = means["mpg123.exe"], means["zampoplay.exe"]
    print(f"{'ratio to mpg123.exe':<24} {c2 / c1:16.2f}x {m2 / m1:14.2f}x")
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--rounds", type=int, default=3)
    return run(ap.parse_args())


if __name__ == "__main__":
    e2e.main_guard(main)
