#!/usr/bin/python3
"""zampoplay.exe beside mpg123.exe (cross-built from the same Debian source as the
libmpg123 inside MP3.DLL), under the same 64-bit Wine, playing the same song into the
same private PulseAudio sink: CPU per minute of playback and peak memory of each
process, and their ratios. Prints a table; passes or fails nothing.

  windows_bench.py --build BUILD-WIN64 --work DIR [--seconds 30] [--rounds 5]

Each round plays the song in both (zampoplay.exe started with the folder on its command
line, as mpg123.exe is with the file), the order swapped every round, so that a busy
machine weighs on both alike. CPU is the process's CPU clock (all threads, those that
ended too, to the nanosecond); the figure is the median of the rounds' ratios, with
their spread.
"""
import argparse
import os
import shutil
import statistics
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
    """The player's figures (player_bench's: CPU a minute in all and by kind of thread,
    other programs' load) over `seconds` of playback that began a moment ago, and its
    peak memory (MB)."""
    time.sleep(2)  # past the start: the playing alone
    figures = pb.measure_playing(pid, seconds)
    figures["peak"] = pb.peak_rss_mb(pid)
    return figures


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
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        w = we.Windows(s, work)
        s.run([we.WINE, "cmd.exe", "/c", "exit"])  # Wine's services started, not measured
        shutil.copy2(mpg123, app)
        figures = {"mpg123.exe": [], "zampoplay.exe": []}

        def theirs():
            p = s.spawn("mpg123", [we.WINE, os.path.join(app, "mpg123.exe"), "-q", song],
                        cwd=app, env=w.sound)
            figures["mpg123.exe"].append(measure(p.pid, args.seconds))
            p.kill()
            p.wait()

        def ours():
            p, wid = w.start(app, "zampoplay.exe", we.PLAYER, args=[we.windows_path(folder)])
            figures["zampoplay.exe"].append(measure(p.pid, args.seconds))
            w.x.close_twice(p, wid)

        for r in range(args.rounds):
            for play in ((theirs, ours) if r % 2 == 0 else (ours, theirs)):
                play()
        s.run(["wineserver", "-k"], check_rc=False)
    ours, theirs = figures["zampoplay.exe"], figures["mpg123.exe"]
    ratios = [z["cpu"] / m["cpu"] for z, m in zip(ours, theirs)]
    print(f"64-bit Wine, one song, {args.rounds} rounds of {args.seconds:.0f} s, order swapped "
          "every round")
    print(f"  {'round':<7}{'zampoplay.exe':>14}{'mpg123.exe':>12}{'ratio':>8}{'others':>9}"
          "   (CPU s per minute; others: other programs' load, cores)")
    for r, (z, m) in enumerate(zip(ours, theirs)):
        print(f"  {r + 1:<7}{z['cpu']:>14.3f}{m['cpu']:>12.3f}{z['cpu'] / m['cpu']:>7.2f}x"
              f"{(z['others'] + m['others']) / 2:>9.2f}")
    med = statistics.median(ratios)
    wide = (max(ratios) - min(ratios)) > 0.2 * med
    print(f"  CPU ratio median {med:.2f}x, spread {min(ratios):.2f}-{max(ratios):.2f}x: " +
          ("TOO WIDE TO JUDGE: the rounds disagree by more than a fifth of the median "
           "(another program took a core?); run again on a quieter machine" if wide
           else "narrow enough to judge"))
    z_mem, m_mem = max(z["peak"] for z in ours), max(m["peak"] for m in theirs)
    print("  CPU s per minute by thread, medians (wake-ups a second); window and main are "
          "the first thread, other holds decoding, device and waveOut's threads:")
    for name, figs in figures.items():
        kinds = sorted({k[4:] for f in figs for k in f if k.startswith("cpu ")})
        cost = {k: statistics.median(f.get("cpu " + k, 0.0) for f in figs) for k in kinds}
        print(f"    {name}: total {statistics.median(f['cpu'] for f in figs):.3f}; " +
              ", ".join(f"{k} {cost[k]:.3f} "
                        f"({statistics.median(f.get('wakes ' + k, 0.0) for f in figs):.0f})"
                        for k in sorted(kinds, key=lambda k: -cost[k]) if cost[k] >= 0.0005))
    print(f"  peak memory MB, worst round: zampoplay.exe {z_mem:.1f}, mpg123.exe {m_mem:.1f}, "
          f"{z_mem / m_mem:.2f}x")
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--rounds", type=int, default=5, help="of each program, alternating")
    return run(ap.parse_args())


if __name__ == "__main__":
    e2e.main_guard(main)
