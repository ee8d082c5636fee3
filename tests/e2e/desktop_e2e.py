#!/usr/bin/python3
"""zampoplay on a private session bus, steered through MPRIS by playerctl and dbus-send
(what it announces collected by dbus-monitor, the sink recorded) and read through
AT-SPI by pyatspi. (The player's own test runs it with no bus.)

  desktop_e2e.py --dist BUILD/dist --work DIR    (exit 0 passed, 1 failed, 77 skipped)
"""
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time
import urllib.parse

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e2e  # noqa: E402
from e2elib import check, Failure  # noqa: E402

FOLDER, PLAY, NEXT = (120, 120, 615, 615), (720, 120, 615, 615), (1320, 120, 615, 615)
MINIMISE = (6000, 120, 615, 615)
SONGS = [("Alba.mp3", 349.0), ("Brisa.mp3", 466.0), ("Canción del río.mp3", 622.0),
         ("Duna.mp3", 831.0)]
# Songs outlast every stretch between two commands, however busy the machine, so that
# none ends by itself in the middle; waits end on their condition, and their bound only
# stops a test that would hang.
SECONDS, HOLD_S, BOUND_S = 30.0, 0.8, 60
PATH, PLAYER = "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player"
NAMES = {"Elegir carpeta", "Reproducir", "Siguiente", "Repetir", "Anterior", "Parar",
         "Acerca de", "Minimizar"}
# Run with the session's bus: the player's window as a screen reader sees it, after
# pressing the button named in argv[1], if any, through its AT-SPI action.
ATSPI = """
import json, sys, pyatspi
def get(f):
    try:
        return f()
    except NotImplementedError:
        return None
win = [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "zampoplay"][0][0]
for c in [c for c in win if c.name in sys.argv[1:]]:
    act = c.queryAction()
    act.doAction([i for i in range(act.nActions) if act.getName(i) == "Press"][0])
print(json.dumps([{"role": c.getRoleName(), "name": c.name, "tip": c.description,
                   "text": get(lambda: c.queryText().getText(0, -1)),
                   "value": get(lambda: c.queryValue().currentValue)} for c in win]))
"""


def playerctl(s, *args, name="zampoplay"):
    p = subprocess.run(["playerctl", "-p", name, *args], env=s.env, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, timeout=10)
    return p.stdout.decode().strip() if p.returncode == 0 else None


def call(s, member, interface=PLAYER, name="zampoplay", *args):
    out = s.run(["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2." +
                 name, PATH, f"{interface}.{member}", *args]).decode()
    return time.monotonic(), out


class Announcements:
    """What the player announces (PropertiesChanged), or the signals of another match
    rule, through dbus-monitor."""

    def __init__(self, s, rule=f"type='signal',sender='org.mpris.MediaPlayer2.zampoplay',"
                 f"path='{PATH}'"):
        self.text = ""
        self.proc = s.spawn("dbus-monitor", ["dbus-monitor", "--session", rule],
                            stdout=subprocess.PIPE)
        threading.Thread(target=lambda: [self.add(line) for line in self.proc.stdout],
                         daemon=True).start()
        # A monitor loses its own name once it watches.
        e2e.wait_for(lambda: "member=NameLost" in self.text, BOUND_S, 0.02, "dbus-monitor")

    def add(self, line):
        self.text += line.decode("utf-8", "replace")

    def values(self, prop, kind=r'string "([^"]*)"'):
        return re.findall(rf'string "{prop}"\s*variant\s+{kind}', self.text)

    def tracks(self):
        return self.values("mpris:trackid", r'object path "([^"]+)"')


def screen_reader(s, press=None):
    """The window's controls as AT-SPI gives them: role, name, tip, text, value."""
    p = subprocess.run([sys.executable, "-c", ATSPI, *([press] if press else [])], env=s.env,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=20)
    seen = json.loads(p.stdout) if p.returncode == 0 else []
    for c in seen:  # at-spi2-core 2.56 and later name a push button "button"
        c["role"] = "push button" if c["role"] == "button" else c["role"]
    return seen


def run(args):
    skip = e2e.check_tools(["dbus-daemon", "dbus-send", "dbus-monitor", "playerctl",
                            "/usr/libexec/at-spi-bus-launcher", "/usr/libexec/xdg-desktop-portal",
                            "/usr/libexec/xdg-desktop-portal-gtk"])
    if skip:
        return skip
    zampoplay = os.path.join(os.path.abspath(args.dist), "zampoplay")
    check(os.path.exists(zampoplay), f"no {zampoplay}: build it first")
    work = e2e.fresh_folder(args.work)
    folder = os.path.join(work, "canciones")
    os.makedirs(folder)
    for name, freq in SONGS:
        e2e.make_song(os.path.join(folder, name), freq, SECONDS)
    tones = dict(SONGS)
    events = []  # (time, what, the song it must start, or None: no song starts)

    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        s.start_bus()
        s.start_accessibility()
        x = e2e.X(s)
        rec = e2e.Recorder(s)
        player = s.spawn("zampoplay", [zampoplay], cwd=work)
        wid = x.wait_window(r"^Zampolo 1\.0 - ")
        watch = e2e.TitleWatch(s, wid)
        e2e.wait_for(lambda: "zampoplay" in (playerctl(s, "-l") or "").split(), BOUND_S, 0.05,
                     "zampoplay in playerctl's list")
        check(playerctl(s, "status") == "Stopped", "not Stopped before play")
        said = Announcements(s)
        for member in ("Play", "PlayPause", "Next", "Previous", "Stop"):
            call(s, member)  # all disabled before a folder is chosen

        # Eight named buttons with their tips, the time display and the progress bar; the
        # working storage below the client area is not there. A press shows the About box.
        e2e.wait_for(lambda: [c for c in screen_reader(s) if c["role"] == "push button"], BOUND_S,
                     0.2, "the window in AT-SPI")
        seen = screen_reader(s, "Acerca de")
        buttons = {c["name"] for c in seen if c["role"] == "push button" and c["tip"] == c["name"]}
        check(buttons == NAMES, f"buttons named {buttons}")
        check(sorted(c["role"] for c in seen) == ["label", "progress bar"] + ["push button"] * 8,
              f"controls seen: {seen}")
        check({"role": "label", "name": "Tiempo restante", "tip": "", "text": "00:00",
               "value": None} in seen and {"role": "progress bar", "name": "Progreso", "tip": "",
                                           "text": None, "value": 0.0} in seen, f"seen: {seen}")
        box = x.wait_window("^Zampolo$", 5)
        x.activate(box)
        x.key("Return")
        x.wait_gone(box, 3)
        x.choose_folder(wid, folder)
        # A click while the chooser's handler still runs meets a disabled play button.
        can_play = ("Get", "org.freedesktop.DBus.Properties", "zampoplay", f"string:{PLAYER}",
                    "string:CanPlay")
        e2e.wait_for(lambda: "boolean true" in call(s, *can_play)[1], BOUND_S, 0.02, "CanPlay")

        def started(what, t, want=None):
            """The song a command started, announced and in the caption."""
            n = len([e for e in events if e[2]])
            # A title counts once its value's line has come, not at its track's line.
            e2e.wait_for(lambda: len(said.values("xesam:title")) > n, BOUND_S, 0.01,
                         f"a song on {what}")
            title = said.values("xesam:title")[-1]
            check(want in (None, title), f"{what} started {title}, not {want}")
            e2e.wait_for(lambda: watch.current() == title, BOUND_S, 0.01, f"{title} in the caption")
            events.append((t, what, title))
            return title

        def command(what, want=None):
            t = time.monotonic()
            check(playerctl(s, what) is not None, f"playerctl {what} failed")
            if want == "silence":  # and when the player had handled it: playerctl waits
                events.append((t, what, None, time.monotonic()))
            else:
                want = started(what, t, want)
            time.sleep(HOLD_S)
            return want

        t, _ = x.click_control(wid, *PLAY)
        first = started("the play click", t)
        check(playerctl(s, "status") == "Playing", "not Playing after the play click")
        check(playerctl(s, "metadata", "xesam:title") == first, "the title is not the caption")
        url = "file://" + urllib.parse.quote(os.path.join(folder, first))
        check(playerctl(s, "metadata", "xesam:url") == url, f"url is not {url}")
        length = int(playerctl(s, "metadata", "mpris:length"))
        check(abs(length - SECONDS * 1e6) < 50000, f"length {length} us")
        get = ("Get", "org.freedesktop.DBus.Properties", "zampoplay", f"string:{PLAYER}")
        p1 = int(re.findall(r"\d+", call(s, *get, "string:Position")[1])[-1])
        time.sleep(0.5)
        p2 = int(re.findall(r"\d+", call(s, *get, "string:Position")[1])[-1])
        check(0 <= p1 < p2 <= length, f"position {p1} then {p2} us")
        events.append((call(s, "Play")[0], "Play while playing", None))  # disabled
        time.sleep(HOLD_S)
        full = f"{int(SECONDS) // 60:02d}:{int(SECONDS) % 60:02d}"

        def moving():  # the time counts down from the song's length, the bar grows
            shown = {c["role"]: c for c in screen_reader(s)}
            return "00:00" < shown["label"]["text"] < full and shown["progress bar"]["value"] > 0

        e2e.wait_for(moving, BOUND_S, 0.2, "the time and the bar while playing")

        # As the buttons do: next to the list's second song, previous back to the first.
        second = command("next")
        command("previous", first)
        command("next", second)
        command("stop", "silence")
        check(playerctl(s, "status") == "Stopped", "not Stopped after stop")
        command("play-pause")
        command("play-pause", "silence")
        command("play-pause")

        # A second player takes the instance name; Quit ends it (two closes, the first
        # enough while nothing plays). Raise restores the minimised window.
        other = s.spawn("zampoplay-2", [zampoplay], cwd=work)
        name = f"zampoplay.instance{other.pid}"
        e2e.wait_for(lambda: name in (playerctl(s, "-l") or "").split(), BOUND_S, 0.05, name)
        call(s, "Quit", "org.mpris.MediaPlayer2", name)
        check(other.wait(5) == 0, "the second player did not end on Quit")
        placed = x.geometry(x.frame(wid))
        x.click_control(wid, *MINIMISE)
        e2e.wait_for(lambda: x.state(wid) == "Iconic", BOUND_S, 0.02, "the window minimised")
        call(s, "Raise", "org.mpris.MediaPlayer2")
        e2e.wait_for(lambda: x.state(wid) == "Normal", BOUND_S, 0.02, "the window raised")
        # The window manager draws the raise; the next click must find the window in place.
        e2e.wait_for(lambda: x.geometry(x.frame(wid)) == placed, BOUND_S, 0.02, "the window back")

        # The bus goes away: the player goes on to its next song.
        song = watch.current()
        s.stop_bus()
        events.append((x.click_control(wid, *NEXT)[0], "bus gone, next", None))
        e2e.wait_for(lambda: watch.current() != song, BOUND_S, 0.05, "the next song")
        events[-1] = events[-1][:2] + (watch.current(),)
        time.sleep(HOLD_S)
        check(x.close_twice(player, wid) == 0, "the player did not end well")
        rec.stop()

    for log in ("zampoplay", "zampoplay-2"):
        with open(os.path.join(work, log + ".log"), "rb") as f:
            check(not f.read().strip(), f"{log} printed something")
    # Each change announced once; one new track for every song started.
    statuses, nexts = said.values("PlaybackStatus"), said.values("CanGoNext", r"boolean (\w+)")
    check(statuses == ["Playing", "Stopped"] * 2 + ["Playing"], f"PlaybackStatus: {statuses}")
    check(nexts == ["true", "false"] * 2 + ["true"], f"CanGoNext announced as {nexts}")
    songs = [e[2] for e in events[:-1] if e[2]]  # not the one after the bus went
    tracks = said.tracks()
    check(said.values("xesam:title") == songs and len(set(tracks)) == len(tracks) == len(songs),
          f"songs {songs}, tracks announced {tracks}")

    # What sounded after each event: its song from the start, or no new song.
    e2e.check_heard(rec, e2e.plays(rec.x, tones, {n: SECONDS for n in tones}), events)
    portal_chooser(zampoplay, os.path.join(work, "portal"))
    handed_folders(zampoplay, os.path.join(work, "handed"))
    one_player(zampoplay, os.path.join(work, "one"))
    return 0


def one_player(zampoplay, work):
    """Five starts at once leave one player, playing what it was handed last; after a
    first close it is still a player; a folder named like an option, after --, and
    LINK/.. (the link target's real parent) reach it."""
    tones, lengths = {}, {}

    def folder(name, *songs, seconds=SECONDS):
        os.makedirs(os.path.join(work, name))
        for song in songs:
            tones[song], lengths[song] = 300.0 * 1.19 ** len(tones), seconds
            e2e.make_song(os.path.join(work, name, song), tones[song], seconds)
        return name

    five = [folder(f"f{i}", f"Cinco{i}.mp3") for i in range(5)]
    folder("dos", "Primera.mp3", "Segunda.mp3", seconds=4.0)
    folder("-reverse", "Reverso.mp3")
    folder("real", "Padre.mp3")
    os.symlink(os.path.join(work, folder("real/hondo")), os.path.join(work, "enlace"))
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        s.start_bus()
        x = e2e.X(s)
        rec = e2e.Recorder(s)
        starts = [s.spawn(f"start{i}", [zampoplay, f], cwd=work) for i, f in enumerate(five)]
        e2e.wait_for(lambda: sum(p.poll() is not None for p in starts) == 4, BOUND_S, 0.05,
                     "four starts handing their folders")
        player = [p for p in starts if p.poll() is None][0]
        check(all(p.returncode == 0 for p in starts if p is not player), "a start failed")
        wid = x.wait_window("^Cinco[0-9]\\.mp3$")
        watch = e2e.TitleWatch(s, wid)
        names = [n for n in s.bus_names() if n.startswith("org.mpris.MediaPlayer2.zampoplay")]
        check(names == ["org.mpris.MediaPlayer2.zampoplay"], f"players on the bus: {names}")
        check(len(x.windows("^(Zampolo|Cinco)")) == 1, "more than one window")

        def hand(*args, want):
            time.sleep(HOLD_S)  # the song before is heard
            p = subprocess.run([zampoplay, *args], env=s.env, cwd=work, timeout=BOUND_S,
                               capture_output=True)
            check(p.returncode == 0 and not p.stdout + p.stderr, f"zampoplay {args}: {p}")
            e2e.wait_for(lambda: watch.current() in want, BOUND_S, 0.01, f"{want} playing")
            return watch.current()

        time.sleep(HOLD_S)  # what plays is heard
        chosen = watch.current()
        fx, fy, fw, _ = x.geometry(x.frame(wid))
        x.click_at(fx + fw - 12, fy + 10)  # the first close: the song stops, the window stays
        e2e.wait_for(lambda: playerctl(s, "status") == "Stopped", BOUND_S, 0.05, "the stop")
        first = hand("dos", want=("Primera.mp3", "Segunda.mp3"))
        second = ({"Primera.mp3", "Segunda.mp3"} - {first}).pop()
        e2e.wait_for(lambda: watch.current() == second, BOUND_S, 0.01, "the list going on")
        hand("--", "-reverse", want=("Reverso.mp3",))
        hand("enlace/..", want=("Padre.mp3",))
        time.sleep(HOLD_S)
        check(x.close_twice(player, wid) == 0, "the player did not end well")
        watch.stop()
        rec.stop()
    heard = e2e.plays(rec.x, tones, lengths)
    print("  one player:", [(p["song"], p["from_s"], p["to_s"]) for p in heard])
    check([p["song"] for p in heard[-5:]] == [chosen, first, second, "Reverso.mp3", "Padre.mp3"]
          and heard[-4]["dur_s"] > 3.8 and heard[-3]["from_s"] < 0.2, f"heard {heard}")
    for i in range(5):
        with open(os.path.join(work, f"start{i}.log"), "rb") as f:
            check(not f.read().strip(), f"start {i} printed something")


def handed_folders(zampoplay, work):
    """A folder handed from outside plays as if chosen then played: named on the command
    line, by a second start (which ends at once), by playerctl open. What is no local
    folder is refused and changes nothing."""
    one, two = os.path.join(work, "uno"), os.path.join(work, "Música dos")
    tones = {"Gaita.mp3": 392.0, "Hoja.mp3": 523.0}
    for folder, song in ((one, "Gaita.mp3"), (two, "Hoja.mp3")):
        os.makedirs(folder)
        e2e.make_song(os.path.join(folder, song), tones[song], SECONDS)
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        s.start_bus()
        x = e2e.X(s)
        rec = e2e.Recorder(s)
        # More than one argument: the first counts.
        player = s.spawn("zampoplay", [zampoplay, one, two], cwd=work)
        wid = x.wait_window("^Gaita.mp3$")
        watch = e2e.TitleWatch(s, wid)
        e2e.wait_for(lambda: playerctl(s, "status") == "Playing", BOUND_S, 0.05, "Playing")
        uri = "file://" + urllib.parse.quote(one)
        check('"inode/directory"' in call(s, "Get", "org.freedesktop.DBus.Properties",
                                          "zampoplay", "string:org.mpris.MediaPlayer2",
                                          "string:SupportedMimeTypes")[1], "no inode/directory")

        def handed(what, hand, song):
            time.sleep(HOLD_S)
            hand()
            e2e.wait_for(lambda: watch.current() == song, BOUND_S, 0.01, f"{song} on {what}")
            check(playerctl(s, "status") == "Playing", f"not Playing after {what}")

        second = []  # a relative path, from the second start's own folder
        handed("a second start", lambda: second.append(
            subprocess.run([zampoplay, "Música dos"], env=s.env, cwd=work, timeout=BOUND_S,
                           capture_output=True)), "Hoja.mp3")
        check(second[0].returncode == 0 and not second[0].stdout + second[0].stderr,
              f"the second start: {second[0]}")
        check(len(x.windows("^(Zampolo|Gaita|Hoja)")) == 1, "two players")
        handed("playerctl open", lambda: playerctl(s, "open", uri), "Gaita.mp3")

        # Refused, and the song goes on: a file, another machine's folder, no folder.
        for bad in (uri + "/Gaita.mp3", "file://otra" + urllib.parse.quote(one),
                    "http://localhost/", "file:///no/existe"):
            open_uri = ["dbus-send", "--session", "--print-reply",
                        "--dest=org.mpris.MediaPlayer2.zampoplay", PATH, PLAYER + ".OpenUri",
                        "string:" + bad]
            check(s.run(open_uri, rc_only=True) != 0, f"OpenUri took {bad}")
        late = subprocess.run([zampoplay, "/no/existe"], env=s.env, timeout=BOUND_S,
                              capture_output=True)
        check(late.returncode == 0 and len(late.stderr.splitlines()) == 1,
              f"a start with no folder: {late}")
        time.sleep(HOLD_S)
        check(watch.current() == "Gaita.mp3" and playerctl(s, "status") == "Playing",
              "a refused folder changed the player")
        check(x.close_twice(player, wid) == 0, "the player did not end well")
        watch.stop()
        rec.stop()
    heard = e2e.plays(rec.x, tones, {n: SECONDS for n in tones})
    print("  handed folders:", [(p["song"], round(p["from_s"], 2)) for p in heard])
    check([p["song"] for p in heard] == ["Gaita.mp3", "Hoja.mp3", "Gaita.mp3"] and
          all(p["from_s"] < 0.2 for p in heard), f"heard {heard}")
    with open(os.path.join(work, "zampoplay.log"), "rb") as f:
        check(not f.read().strip(), "zampoplay printed something")


def portal_chooser(zampoplay, work):
    """The desktop's own chooser (xdg-desktop-portal with its GTK backend), answered
    with keys: a cancel changes nothing, a folder typed into it is the one play takes,
    and a portal killed with its chooser open leaves our own chooser, then nothing
    chosen."""
    folder = os.path.join(work, "otra carpeta")  # spelled in the URI with a %20
    os.makedirs(folder)
    songs = {"Eco.mp3", "Faro.mp3"}
    for name, freq in zip(sorted(songs), (1047.0, 1319.0)):
        e2e.make_song(os.path.join(folder, name), freq, SECONDS)
    with e2e.Session(work) as s:
        s.start_display()
        s.start_audio()
        s.start_bus()
        portal, gtk = s.start_portal()
        answers = Announcements(s, "type='signal',interface='org.freedesktop.portal.Request'")
        x = e2e.X(s)
        player = s.spawn("zampoplay", [zampoplay], cwd=work)
        wid = x.wait_window(r"^Zampolo 1\.0 - ")
        watch = e2e.TitleWatch(s, wid)
        can_play = ("Get", "org.freedesktop.DBus.Properties", "zampoplay", f"string:{PLAYER}",
                    "string:CanPlay")
        e2e.wait_for(lambda: "zampoplay" in (playerctl(s, "-l") or "").split(), BOUND_S, 0.05,
                     "zampoplay in playerctl's list")

        # GTK makes its first chooser slowly, and a click on a window just shown may be
        # lost: press until a chooser comes (while one is open, a press does nothing).
        e2e.wait_for(lambda: x.click_control(wid, *FOLDER) and
                     x.windows("^Selecciona la carpeta$"), 30, 1.0, "the first chooser")
        dlg = x.chooser("xdg-desktop-portal-gtk")
        x.activate(dlg)
        x.key("Escape")
        x.wait_gone(dlg)
        check("boolean false" in call(s, *can_play)[1], "play enabled after a cancel")

        def play(what):
            """Play starts a song of the folder chosen through the portal."""
            e2e.wait_for(lambda: x.click_control(wid, *PLAY) and playerctl(s, "status") ==
                         "Playing" and watch.current() in songs, BOUND_S, 0.5,
                         f"{folder} after {what}")

        x.choose_folder(wid, folder, portal=True)
        play("choosing it")
        check(playerctl(s, "stop") is not None, "playerctl stop failed")
        e2e.wait_for(lambda: playerctl(s, "status") == "Stopped", BOUND_S, 0.05, "the stop")

        # Modal: neither a click nor a remote plays while the chooser is open (moved off
        # the player's window, which it covers).
        x.click_control(wid, *FOLDER)
        dlg = x.chooser("xdg-desktop-portal-gtk")
        _, y, _, h = x.geometry(x.frame(wid))
        s.run(["xdotool", "windowsize", str(dlg), "800", "300", "windowmove", str(dlg), "0",
               str(y + h + 20)])
        x.click_control(wid, *PLAY)
        call(s, "Play")
        x.activate(dlg)
        x.key("Escape")
        x.wait_gone(dlg)
        check(playerctl(s, "status") == "Stopped", "a song started under the chooser")

        # A portal that does not answer: ours opens after the bound, and the portal's
        # chooser, made once it wakes, is closed again (before it makes the next). It
        # stops once it has answered for the three choosers closed so far.
        e2e.wait_for(lambda: answers.text.count("member=Response") >= 3, BOUND_S, 0.02,
                     "the portal's answers")
        portal.send_signal(signal.SIGSTOP)
        x.click_control(wid, *FOLDER)
        dlg = x.chooser("zampoplay")
        x.activate(dlg)
        x.key("Escape")
        x.wait_gone(dlg)
        portal.send_signal(signal.SIGCONT)

        # A portal killed with its chooser open: ours takes its place.
        x.click_control(wid, *FOLDER)
        x.chooser("xdg-desktop-portal-gtk")
        e2e.wait_for(lambda: len(x.windows("^Selecciona la carpeta$")) == 1, BOUND_S, 0.05,
                     "the late chooser gone")
        for p in (portal, gtk):
            p.kill()
            p.wait(5)
        dlg = x.chooser("zampoplay")
        x.activate(dlg)
        x.key("Escape")
        x.wait_gone(dlg)
        play("the portal went")
        check(x.close_twice(player, wid) == 0, "the player did not end well")
        watch.stop()
    with open(os.path.join(work, "zampoplay.log"), "rb") as f:
        check(not f.read().strip(), "zampoplay printed something")


if __name__ == "__main__":
    e2e.main_guard(lambda: run(e2e.arguments()))
