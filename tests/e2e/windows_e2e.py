#!/usr/bin/python3
"""The zip's Windows files under 64-bit Wine in one fresh prefix, on a private X display
and PulseAudio sink (recorded), used with real keys and clicks: the player, the
installer's three cases, the player alone with the system folder's libraries.

  windows_e2e.py --zip ZIP --sender SENDER.EXE --work DIR [--screenshot FILE]

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb, PulseAudio or 64-bit Wine)."""
import argparse
import filecmp
import os
import random
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e2e  # noqa: E402
import installer_e2e as inst  # noqa: E402
import player_e2e as pe  # noqa: E402
from e2elib import check  # noqa: E402

WINE = "/usr/lib/wine/wine64"
FOLDER = "Canciones de España 音楽"
# Long enough that none ends by itself between two presses.
SONGS = [("Alba.mp3", 349.0, 6.0), ("Καλημέρα.mp3", 466.0, 7.0), ("Canción.mp3", 622.0, 8.0)]
TONES = {n: f for n, f, _ in SONGS}
FILES = ["zampoplay.exe", "zampoinst.exe", "MP3.DLL", "MSVBVM50.DLL", "LEEME.txt"]
PLAYER = r"^Zampolo 1\.0 - |\.mp3$"  # its caption names a song as soon as one plays


class Windows:
    def __init__(self, s, work):
        self.s, self.x, self.work = s, e2e.X(s), work
        s.env.update(WINEPREFIX=os.path.join(work, "prefix"), WINEARCH="win64",
                     WINELOADER=WINE, WINEDEBUG="-all")
        s.run([WINE, "wineboot", "-i"], timeout=120)
        # Wine's sound client keeps 25 ms in the server by default, which a busy machine
        # breaks up: what sounds is Wine's, not the player's. Not the recorder's setting.
        self.sound = dict(s.env, PULSE_LATENCY_MSEC="200")
        self.system = os.path.join(work, "prefix", "drive_c", "windows", "system32")

    def start(self, folder, exe, title, cwd=None, debug="-all", args=()):
        self.log = os.path.join(self.work, f"{exe}.{len(self.s.procs)}.out")
        p = self.s.spawn(exe, [WINE, os.path.join(folder, exe), *args], cwd=cwd or folder,
                         stdout=open(self.log, "ab"), env=dict(self.sound, WINEDEBUG=debug))
        return p, self.x.wait_window(title)

    def choose(self, wid, path):
        """The shell's chooser walked with keys: from OK into the tree, down by names."""
        self.x.click_control(wid, *pe.FOLDER)
        dlg = self.x.wait_window("^Browse for Folder$", 30)
        self.x.activate(dlg)
        self.x.key("Tab", "Tab", "Home", "Down", "Right")
        for part in path.strip("/").split("/"):
            time.sleep(0.6)  # the tree starts a new search after a pause
            self.x.type(part.split(" ")[0])
            self.x.key("Right")
        self.x.key("Return")
        self.x.wait_gone(dlg, 10)

    def box(self, title):
        box = self.x.wait_window(title, 10)
        self.x.activate(box)
        self.x.key("Return")
        self.x.wait_gone(box, 10)


def player(w, app, folder, args):
    """Chooser, a round, each button (the list's model predicts the captions), the close."""
    s, x = w.s, w.x
    lengths = {n: sec for n, _, sec in SONGS}
    rec = e2e.Recorder(s, latency_ms=20)
    p, wid = w.start(app, "zampoplay.exe", PLAYER, debug="-all,err+all")
    check(x.geometry(wid)[2:] == (447, 79), f"client area {x.geometry(wid)[2:]}, not 447x79")
    pe.check_buttons(x, wid, pe.IDLE - {"play"}, "at start")
    watch = e2e.TitleWatch(s, wid)
    n = len(SONGS)
    since = lambda t: [c for ts, c in watch.seen if ts > t]
    for tries in range(3):  # the tree's type-ahead may lose a pause on a busy machine
        w.choose(wid, folder)
        pe.check_buttons(x, wid, pe.IDLE, "once the folder is chosen")
        t_play, _ = x.click_control(wid, *pe.PLAY)
        try:
            e2e.wait_for(lambda: since(t_play), 10, 0.02, "a song")
            break
        except e2e.Failure:
            check(tries < 2, "three folders chosen, and play played none")
    if args.screenshot:  # the window three seconds into the second song
        t2 = e2e.wait_for(lambda: len(since(t_play)) > 1 and watch.seen[-1][0], 30, 0.02, "song 2")
        time.sleep(max(0.0, t2 + 3 - time.monotonic()))
        x.shot(x.frame(wid))[0].save(args.screenshot)
    e2e.wait_for(lambda: len(since(t_play)) > n, 60, 0.02, "a round of the list")
    order = since(t_play)[:n]
    check(sorted(order) == sorted(TONES), f"the round {order} is not each song once")
    model, presses = pe.Model(order), []
    model.pos = 0  # the list has wrapped to its first song
    settle = lambda want, t0: e2e.wait_for(lambda: want in since(t0) and want, 10, 0.01,
                                           f"{want!r} in the caption")
    time.sleep(pe.HOLD_S)
    for button in ["next", "repeat", "previous", "double next", "stop"]:
        t0 = time.monotonic()
        if button == "double next":  # two clicks within the double-click time
            cx, cy = (pe.NEXT[0] + 300) // e2e.TWIPS, (pe.NEXT[1] + 300) // e2e.TWIPS
            s.run(["xdotool", "mousemove", "--window", str(wid), str(cx), str(cy),
                   "click", "--repeat", "2", "--delay", "400", "1"])
            settle(model.press("next"), t0)
        else:
            x.click_control(wid, *{"next": pe.NEXT, "repeat": pe.REPEAT, "previous": pe.PREVIOUS,
                                   "stop": pe.STOP}[button])
        want = model.press(button.split()[-1])
        presses.append((button, t0, want and settle(want, t0)))
        time.sleep(pe.HOLD_S + (1.0 if button == "stop" else 0))
    pe.check_buttons(x, wid, pe.IDLE, "after stop")
    x.activate(wid)
    x.key("Escape")  # dialog navigation's IDCANCEL: nothing opens
    time.sleep(1)
    check(x.windows(".") == [wid], "Esc opened a window")
    x.click_control(wid, *pe.ABOUT)
    w.box("^Zampolo$")
    place = x.geometry(wid)
    x.click_control(wid, *pe.MINIMISE)
    e2e.wait_for(lambda: x.state(wid) == "Iconic", 5, 0.02, "the window minimised")
    x.activate(wid)
    # The window manager animates it back: a click before it is in place is lost.
    e2e.wait_for(lambda: x.state(wid) == "Normal" and x.geometry(wid) == place, 5, 0.02,
                 "the window restored")
    t_play2, _ = x.click_control(wid, *pe.PLAY)
    e2e.wait_for(lambda: since(t_play2), 10, 0.02, "a song")
    time.sleep(pe.HOLD_S)
    fx, fy, fw, _ = x.geometry(x.frame(wid))
    c1, _ = x.click_at(fx + fw - 12, fy + 10)
    time.sleep(0.5)  # a quick second close: the device is closed before the player ends
    check(p.poll() is None, "the first close ended the player while a list played")
    x.click_at(fx + fw - 12, fy + 10)
    rc = p.wait(10)
    check(rc == 0, f"the second close ended the player with {rc}: {open(w.log).read()[-2000:]}")
    rec.stop()

    plays, dips = [], []
    for q in e2e.plays(rec.x, TONES, lengths):
        q["t0"], q["t1"] = rec.time_of(q["first"]), rec.time_of(q["last"])
        print(f"  {q['t0'] - t_play:7.2f} s  {q['song']} from {q['from_s']} s to {q['to_s']} s")
        # A song that goes on where it was after a dip (Wine's sound falling behind on a
        # busy machine) is the same play, not a new start.
        last = plays[-1] if plays else {"song": None}
        if q["song"] == last["song"] and q["from_s"] > max(0.05, last["to_s"] - 0.2):
            dips.append(q["t0"] - last["t1"])
            last.update(t1=q["t1"], to_s=q["to_s"], dur_s=last["dur_s"] + q["dur_s"])
        else:
            plays.append(q)
    first = [q for q in plays if q["t0"] < presses[0][1]]
    check([q["song"] for q in first][:n] == order, f"heard {first}, the captions drew {order}")
    for a, b in zip(first, first[1:n]):
        check(a["from_s"] < 0.2 and abs(a["dur_s"] - lengths[a["song"]]) < 0.15,
              f"{a['song']} did not play whole: {a}")
        dips += [b["t0"] - a["t1"]] if b["t0"] - a["t1"] > 0.1 else []
        check(b["t0"] - a["t1"] < 0.5, f"{b['song']} started {b['t0'] - a['t1']:.2f} s late")
    late = rec.block_s + e2e.HOP / e2e.RATE
    for i, (button, t0, song) in enumerate(presses):
        until = (presses[i + 1][1] if i + 1 < len(presses) else t_play2) - late
        started = [q for q in plays if t0 - late <= q["t0"] < min(until, t0 + 2)]
        check(started and started[-1]["song"] == song and started[-1]["from_s"] < 0.2 if song else
              not [q for q in plays if t0 + 1 < q["t1"] and q["t0"] < until],
              f"{button}: expected {song or 'silence'}, heard {started}")
    check(not [q for q in plays if q["t1"] > c1 + 1], "the first close did not silence the song")
    print(f"played {order} in order, each whole; each button and close as the list says; "
          f"dips (Wine's sound falling behind): {[round(d, 2) for d in dips]}")


def installer(w, app):
    """Both missing beside it (its runtime loaded from the current folder), copied and
    registered, present. Wine's trace of window texts says what each box shows."""
    empty = os.path.join(w.work, "vacío")
    os.makedirs(empty)
    shutil.copy2(os.path.join(app, "zampoinst.exe"), empty)
    said = lambda: re.findall(r'set_window_text L"(el archivo [^"]*)"', open(w.log).read())
    for folder, boxes in [(empty, [inst.missing(n) for n in inst.LIBRARIES]), (app, []),
                          (app, [inst.present(n) for n in inst.LIBRARIES])]:
        p, wid = w.start(folder, "zampoinst.exe", inst.TITLE, cwd=app, debug="-all,trace+win")
        w.x.click_control(wid, *inst.BUTTON)
        for _ in boxes:
            w.box("^Registrar archivos$")
        check(p.wait(30) == 0, "the installer did not end well")
        check(said() == boxes, f"the installer's boxes said {said()}, not {boxes}")
        for n in inst.LIBRARIES if folder == app and not boxes else []:
            check(filecmp.cmp(os.path.join(app, n), os.path.join(w.system, n), False),
                  f"{n} was not copied into the system folder")
            e2e.wait_for(lambda: f"Successfully registered DLL '{n}'" in open(w.log).read(),
                         10, 0.05, f"regsvr32 to register {n}")
    print("installer: both missing; copied and registered; both present")


def alone(w, folder, sender):
    """Alone, with the system folder's libraries: three starts at once make one player,
    its command line's folder past broken files in silence, a copy of 64 MB refused, a
    second start's quoted folder ending in a backslash, nothing of a vanished folder."""
    with open(os.path.join(folder, "roto.mp3"), "wb") as f:
        f.write(random.Random(7).randbytes(60000))
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-t", "wav",
                    os.path.join(folder, "ruido.mp3"), "synth", "2", "sine", "1000"], check=True)
    other, solo = os.path.join(w.work, "Otra"), os.path.join(w.work, "solo")
    os.makedirs(other)
    os.makedirs(solo)
    e2e.make_song(os.path.join(other, "Duna.mp3"), 831.0, 6.0)
    shutil.copy2(os.path.join(w.work, "app", "zampoplay.exe"), solo)
    rec = e2e.Recorder(w.s, latency_ms=20)
    t = time.monotonic()
    exe = os.path.join(solo, "zampoplay.exe")
    starts = [w.s.spawn("start", [WINE, exe, windows_path(folder)], cwd=solo, env=w.sound)
              for _ in range(3)]
    wid = w.x.wait_window(PLAYER)
    e2e.wait_for(lambda: [q.poll() for q in starts].count(0) == 2, 30, 0.05, "two starts to end")
    p = next(q for q in starts if q.poll() is None)
    watch = e2e.TitleWatch(w.s, wid)
    songs = lambda: {c for ts, c in watch.seen if ts > t and c in TONES}
    for k in range(1, len(SONGS) + 1):  # next once each song sounds, round the list
        e2e.wait_for(lambda: len(songs()) >= k, 20, 0.02, f"song {k} of the round")
        time.sleep(0.5)
        w.x.click_control(wid, *pe.NEXT)
    w.s.run([WINE, sender, "copy", "zampoplay", "64"], timeout=60)  # refused
    t_copy = time.monotonic()
    check(p.poll() is None, "a copy of 64 MB ended the player")
    second = w.s.spawn("second", [WINE, sender, "start", windows_path(exe), windows_path(other)],
                       env=w.sound)
    check(second.wait(30) == 0, "a second start did not end at once")
    e2e.wait_for(lambda: watch.current() == "Duna.mp3", 10, 0.02, "the handed folder's song")
    time.sleep(1)
    check(w.x.windows(PLAYER) == [wid], "a second player stayed")
    w.x.click_control(wid, *pe.STOP)
    pe.check_buttons(w.x, wid, pe.IDLE, "after stop")
    rec.stop(timed=False)
    tones = TONES | {"ruido.mp3": 1000.0, "Duna.mp3": 831.0}
    heard = e2e.plays(rec.x, tones, {n: 10.0 for n in tones})
    # Wine's sound may dip while it copies the message; the song must sound on after it.
    check(any(q["song"] != "Duna.mp3" and rec.time_of(q["last"]) > t_copy for q in heard),
          "the song stopped at the copy")
    heard = {q["song"] for q in heard}
    check(heard == songs() | {"Duna.mp3"}, f"heard {heard}, captions {songs()}")
    os.rename(other, other + ".fuera")
    shown = len(watch.seen)
    w.x.click_control(wid, *pe.PLAY)
    pe.check_buttons(w.x, wid, pe.IDLE, "after play on a vanished folder")
    check(len(watch.seen) == shown, "a vanished folder played")
    check(w.x.close_twice(p, wid) == 0, "the player alone did not end well")
    print("alone: three starts made one player, which played its command line's folder past "
          "broken files in silence, refused a copy of 64 MB playing on, took a second start's "
          "quoted folder ending in a backslash, played nothing of a vanished folder")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run(args):
    wine = os.access(WINE, os.X_OK) and subprocess.run([WINE, "--version"]).returncode == 0
    if e2e.check_tools(extra=["sox"]) or not wine:
        return e2e.SKIP
    work = e2e.fresh_folder(args.work)
    app, folder = os.path.join(work, "app"), os.path.join(work, FOLDER)
    with zipfile.ZipFile(args.zip) as z:
        check(sorted(z.namelist()) == sorted(FILES), f"the zip holds {z.namelist()}")
        z.extractall(app)
    os.makedirs(folder)
    for name, freq, secs in SONGS:
        e2e.make_song(os.path.join(folder, name), freq, secs)
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        w = Windows(s, work)
        player(w, app, folder, args)
        installer(w, app)
        alone(w, folder, args.sender)
        s.run(["wineserver", "-k"], check_rc=False)
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--zip", required=True)
    ap.add_argument("--sender", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--screenshot", help="where to write the window's picture")
    return run(ap.parse_args())


if __name__ == "__main__":
    e2e.main_guard(main)
