#!/usr/bin/python3
"""zampoplay and the desktop's media remotes (MPRIS), end to end, with playerctl.

  mpris_e2e.py --dist BUILD/dist --work DIR

A private X display, PulseAudio server and session bus; the real zampoplay, steered
by playerctl and dbus-send while the sink's monitor is recorded and dbus-monitor
collects what the player announces. Checks: the player is listed; it is Stopped
until the play click and Playing after; the title is the caption; playerctl's next,
previous and stop change the song heard as the buttons do; play-pause toggles;
calls to disabled actions change nothing; every change is announced once; Raise
restores the minimised window; a second player takes the instance name and Quit
ends it; Quit while a list plays stops it and ends; when the bus goes away the
player plays on, silently. (The player's own test runs it with no bus at all.)

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or PulseAudio installed).
"""
import argparse
import os
import re
import subprocess
import sys
import threading
import time
import urllib.parse

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e2e  # noqa: E402
from e2elib import check, Failure  # noqa: E402

FOLDER = (120, 120, 615, 615)
PLAY = (720, 120, 615, 615)
MINIMISE = (6000, 120, 615, 615)
SONGS = [("Alba.mp3", 349.0, 4.0), ("Brisa.mp3", 466.0, 4.0), ("Canción del río.mp3", 622.0, 4.0),
         ("Duna.mp3", 831.0, 4.0)]
HOLD_S = 0.8
PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"


class Bus:
    """The player as playerctl and dbus-send see it."""

    def __init__(self, session, name="zampoplay"):
        self.s, self.name = session, name

    def playerctl(self, *args):
        p = subprocess.run(["playerctl", "-p", self.name, *args], env=self.s.env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
        return p.stdout.decode().strip() if p.returncode == 0 else None

    def call(self, member, interface=PLAYER):
        self.s.run(["dbus-send", "--session", "--print-reply",
                    "--dest=org.mpris.MediaPlayer2." + self.name, PATH, f"{interface}.{member}"])
        return time.monotonic()

    def position_us(self):
        out = self.s.run(["dbus-send", "--session", "--print-reply",
                          "--dest=org.mpris.MediaPlayer2." + self.name, PATH,
                          "org.freedesktop.DBus.Properties.Get", f"string:{PLAYER}",
                          "string:Position"]).decode()
        return int(re.search(r"int64 (-?\d+)", out).group(1))

    def status(self):
        return self.playerctl("status")


class Announcements:
    """The PropertiesChanged signals of one bus client, through dbus-monitor."""

    def __init__(self, session, owner):
        self.proc = session.spawn("dbus-monitor", [
            "dbus-monitor", "--session",
            f"type='signal',sender='{owner}',member='PropertiesChanged',path='{PATH}'"],
            stdout=subprocess.PIPE)
        self.text = ""
        threading.Thread(target=self._read, daemon=True).start()
        # A monitor loses its own name once it watches.
        e2e.wait_for(lambda: "member=NameLost" in self.text, 5, 0.02, "dbus-monitor")

    def _read(self):
        for line in self.proc.stdout:
            self.text += line.decode("utf-8", "replace")

    def signals(self):
        return [b for b in re.split(r"\n(?=signal )", self.text) if "PropertiesChanged" in b]

    def tracks(self):
        return self.values("mpris:trackid", r'object path "([^"]+)"')

    def values(self, prop, kind=r"string \"([^\"]*)\""):
        out = []
        for b in self.signals():
            m = re.search(rf'string "{prop}"\s*variant\s+{kind}', b)
            if m:
                out.append(m.group(1))
        return out


def choose(x, wid, folder):
    x.click_control(wid, *FOLDER)
    dlg = x.wait_window("^Selecciona la carpeta$")
    x.activate(dlg)
    x.type(folder)
    x.key("Return")
    try:
        x.wait_gone(dlg, 2)
    except Failure:
        x.key("Return")  # the first Return only went into the folder
        x.wait_gone(dlg, 3)


def close_twice(x, p, wid):
    fx, fy, fw, fh = x.geometry(x.frame(wid))
    for _ in range(2):
        x.click_at(fx + fw - 12, fy + 10)
        try:
            return p.wait(2)
        except subprocess.TimeoutExpired:
            pass
    raise Failure("two closes did not end the player")


def run(args):
    skip = e2e.check_tools(["dbus-daemon", "dbus-send", "dbus-monitor", "playerctl"])
    if skip:
        return skip
    dist = os.path.abspath(args.dist)
    check(os.path.exists(os.path.join(dist, "zampoplay")), f"no zampoplay in {dist}: build it")
    work = e2e.fresh_folder(args.work)
    folder = os.path.join(work, "canciones")
    os.makedirs(folder)
    for name, freq, secs in SONGS:
        e2e.make_song(os.path.join(folder, name), freq, secs)
    tones = {n: f for n, f, _ in SONGS}
    lengths = {n: s for n, _, s in SONGS}
    zampoplay = os.path.join(dist, "zampoplay")

    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        s.start_bus()
        x = e2e.X(s)
        rec = e2e.Recorder(s)
        bus = Bus(s)
        player = s.spawn("zampoplay", [zampoplay], cwd=work)
        wid = x.wait_window(r"^Zampolo 1\.0 - ")
        watch = e2e.TitleWatch(s, wid)
        e2e.wait_for(lambda: "zampoplay" in (bus.playerctl("-l") or "").split(), 5, 0.05,
                     "zampoplay in playerctl's list")
        check(bus.status() == "Stopped", f"status {bus.status()} before play")
        owner = s.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                       "/org/freedesktop/DBus", "org.freedesktop.DBus.GetNameOwner",
                       "string:org.mpris.MediaPlayer2.zampoplay"]).decode()
        said = Announcements(s, re.search(r'string "([^"]+)"', owner).group(1))

        # Nothing is enabled but the folder: every transport call does nothing.
        for member in ("Play", "PlayPause", "Next", "Previous", "Stop"):
            bus.call(member)
        time.sleep(0.3)
        check(bus.status() == "Stopped" and not said.signals(),
              "a call to a disabled action changed something")

        choose(x, wid, folder)
        events = []  # (time, what, the caption that must sound next or None for silence)
        t, _ = x.click_control(wid, *PLAY)
        e2e.wait_for(lambda: bus.status() == "Playing", 5, 0.02, "Playing after the play click")
        e2e.wait_for(lambda: said.tracks(), 5, 0.02, "a song announced")
        first = said.values("xesam:title")[-1]
        e2e.wait_for(lambda: watch.current() == first, 5, 0.02, f"{first} in the caption")
        events.append((t, "play click", first))
        check(bus.playerctl("metadata", "xesam:title") == first,
              f"title {bus.playerctl('metadata', 'xesam:title')!r}, caption {first!r}")
        url = "file://" + urllib.parse.quote(os.path.join(folder, first))
        check(bus.playerctl("metadata", "xesam:url") == url,
              f"url {bus.playerctl('metadata', 'xesam:url')}, expected {url}")
        length = int(bus.playerctl("metadata", "mpris:length"))
        check(abs(length - lengths[first] * 1e6) < 50000, f"length {length} us of {first}")
        p1 = bus.position_us()
        time.sleep(0.5)
        p2 = bus.position_us()
        check(0 <= p1 < p2 <= length, f"position {p1} then {p2} us while playing")

        # Play is disabled while a list plays: the song goes on.
        events.append((bus.call("Play"), "Play while playing", None))
        time.sleep(HOLD_S)
        check(len(said.tracks()) == 1 and bus.playerctl("metadata", "xesam:title") == first,
              "Play while a list plays changed the song")

        def command(what, want=None):
            """playerctl's command; want: the song it must start (any when None), or
            "silence"."""
            n = len(said.tracks())
            t = time.monotonic()
            check(bus.playerctl(what) is not None, f"playerctl {what} failed")
            if want != "silence":
                e2e.wait_for(lambda: len(said.tracks()) > n, 5, 0.01, f"a song after {what}")
                title = said.values("xesam:title")[-1]
                check(want in (None, title), f"{what} started {title}, not {want}")
                want = title
                e2e.wait_for(lambda: watch.current() == want, 5, 0.01, f"{want} in the caption")
            events.append((t, what, None if want == "silence" else want))
            time.sleep(HOLD_S)
            return want

        # As the buttons: next goes to the list's second song, previous back to the
        # first, next to the second again; stop ends the list.
        second = command("next")
        check(second != first, "next started the same song again")
        command("previous", first)
        command("next", second)
        command("stop", "silence")
        check(bus.status() == "Stopped", "not Stopped after stop")
        check(bus.playerctl("next") is None and bus.playerctl("previous") is None,
              "playerctl offers next and previous after stop")
        # play-pause: a new list, then stop, then a new list again.
        command("play-pause")
        check(bus.status() == "Playing", "not Playing after play-pause")
        command("play-pause", "silence")
        check(bus.status() == "Stopped", "not Stopped after the second play-pause")
        last = command("play-pause")

        # A second player: the instance name; Quit ends it (nothing plays there).
        other = s.spawn("zampoplay-2", [zampoplay], cwd=work)
        instance = f"zampoplay.instance{other.pid}"
        e2e.wait_for(lambda: instance in (bus.playerctl("-l") or "").split(), 5, 0.05,
                     f"{instance} in playerctl's list")
        Bus(s, instance).call("Quit", "org.mpris.MediaPlayer2")
        check(other.wait(5) == 0, "the second player did not end on Quit")

        # Raise brings the minimised window back.
        x.click_control(wid, *MINIMISE)
        e2e.wait_for(lambda: x.state(wid) == "Iconic", 3, 0.02, "the window minimised")
        bus.call("Raise", "org.mpris.MediaPlayer2")
        e2e.wait_for(lambda: x.state(wid) == "Normal", 3, 0.02, "the window raised")

        # Quit while a list plays: the song stops, then the player ends.
        t_quit = bus.call("Quit", "org.mpris.MediaPlayer2")
        events.append((t_quit, "Quit", None))
        try:
            rc = player.wait(5)
        except subprocess.TimeoutExpired:
            raise Failure("Quit did not end the player")
        check(rc == 0, f"zampoplay exited with {rc} on Quit")
        watch.stop()
        time.sleep(0.5)

        # The bus goes away under a playing player: it plays on.
        third = s.spawn("zampoplay-3", [zampoplay], cwd=work)
        wid3 = x.wait_window(r"^Zampolo 1\.0 - ")
        watch3 = e2e.TitleWatch(s, wid3)
        choose(x, wid3, folder)
        t, _ = x.click_control(wid3, *PLAY)
        song = e2e.wait_for(lambda: watch3.current() in tones and watch3.current(), 5, 0.02,
                            "a song in the third player's caption")
        events.append((t, "third player's play", song))
        s.stop_bus()
        events.append((time.monotonic(), "bus gone", "any"))
        e2e.wait_for(lambda: watch3.current() != song, max(lengths.values()) + 3, 0.05,
                     "the next song after the bus went away")
        events[-1] = events[-1][:2] + (watch3.current(),)
        time.sleep(HOLD_S)
        check(third.poll() is None, "the player ended when the bus went away")
        check(close_twice(x, third, wid3) == 0, "the third player did not end well")
        watch3.stop()
        rec.stop()

    for name in ("zampoplay", "zampoplay-2", "zampoplay-3"):
        with open(os.path.join(work, name + ".log"), "rb") as f:
            text = f.read().decode("utf-8", "replace").strip()
        check(not text, f"{name} said: {text[:300]}")
    return analyse(rec, said, events, tones, lengths, first, second, last)



def analyse(rec, said, events, tones, lengths, first, second, last):
    # Once per change: the status went Playing, Stopped, Playing, Stopped, Playing,
    # Stopped (Quit); one Metadata per song start, each with a track of its own.
    statuses = said.values("PlaybackStatus")
    check(statuses == ["Playing", "Stopped"] * 3, f"PlaybackStatus announced as {statuses}")
    titles = said.values("xesam:title")
    want = [e[2] for e in events if e[2]][:-2]  # the third player's songs are not announced
    check(titles == want, f"titles announced {titles}, songs started {want}")
    tracks = said.values("mpris:trackid", r'object path "([^"]+)"')
    check(len(tracks) == len(want) and len(set(tracks)) == len(tracks),
          f"track ids announced: {tracks}")
    nexts = said.values("CanGoNext", r"boolean (\w+)")
    check(nexts == ["true", "false"] * 2 + ["true"], f"CanGoNext announced as {nexts}")
    print(f"announced: {len(said.signals())} changes; status {statuses}; titles {titles}")

    # What sounded after each command: its song from the start, or nothing new.
    plays = e2e.plays(rec.x, tones, lengths)
    early = rec.block_s + e2e.HOP / e2e.RATE
    for i, (t, what, song) in enumerate(events):
        until = events[i + 1][0] - early if i + 1 < len(events) else float("inf")
        started = [p for p in plays if t - early <= rec.time_of(p["first"]) < until]
        heard = [p["song"] for p in started]
        print(f"  {what:<20} {heard}")
        if song:
            check(heard == [song] and started[0]["from_s"] < 0.2,
                  f"{what}: expected {song} from its start, heard {started}")
        else:
            check(not started, f"{what}: a song started: {heard}")
        if what in ("stop", "Quit") or (what == "play-pause" and not song):
            ended = [p for p in plays if rec.time_of(p["first"]) < t and rec.time_of(p["last"])
                     > t + 0.3]
            check(not ended, f"{what}: the song went on")
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", required=True)
    ap.add_argument("--work", required=True)
    return run(ap.parse_args())


if __name__ == "__main__":
    e2e.main_guard(main)
