#!/usr/bin/python3
"""zampoplay as a native Wayland client of a private headless sway, with the desktop
test's sound server and buses: pressed through AT-SPI, clicked and typed into through a
held pointer and keyboard, seen through sway's tree and grim, heard in the recording.

  wayland_e2e.py --dist BUILD/dist --work DIR [--screenshot FILE]   (77: skipped)
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e2e  # noqa: E402
from e2elib import check  # noqa: E402
from desktop_e2e import Announcements, call, playerctl, screen_reader  # noqa: E402
from player_e2e import FOLDER, PLAYING, enabled  # noqa: E402

SONGS = [("Alba.mp3", 349.0), ("Brisa.mp3", 466.0), ("Canción del río.mp3", 622.0)]
HANDED = ("Duna.mp3", 831.0)
SECONDS, HOLD_S, BOUND_S = 30.0, 0.8, 60
QT_KEYMAP = b"qt.qpa.wayland: unknown keymap format"  # Qt's, as a test keyboard goes


def run(args):
    # Debian 12 has no vncdotool, and its sway refuses to run as root.
    missing = e2e.missing_tools(["sway", "vncdo"])
    if missing:
        print(f"SKIP: not installed: {', '.join(missing)} (Debian 13 and later have them)")
        return e2e.SKIP
    skip = e2e.check_tools(["swaymsg", "wtype", "grim", "wayvnc", "dbus-daemon", "playerctl",
                            "/usr/libexec/at-spi-bus-launcher"])
    if skip:
        return skip
    zampoplay = os.path.join(os.path.abspath(args.dist), "zampoplay")
    check(os.path.exists(zampoplay), f"no {zampoplay}: build it first")
    work = e2e.fresh_folder(args.work)
    folder, other = os.path.join(work, "canciones"), os.path.join(work, "otra")
    for where, songs in ((folder, SONGS), (other, [HANDED])):
        os.makedirs(where)
        for name, freq in songs:
            e2e.make_song(os.path.join(where, name), freq, SECONDS)
    tones = dict(SONGS + [HANDED])
    events = []  # (time, what, the song it must start, or None: no song starts)

    with e2e.Session(work) as s:
        s.start_audio()
        s.start_bus()
        s.start_accessibility()
        w = e2e.Sway(s)
        rec = e2e.Recorder(s)
        player = s.spawn("zampoplay", [zampoplay], cwd=work)
        win = w.wait_window(r"^Zampolo 1\.0 - ")
        check(w.client(win)[2:] == (6705 // e2e.TWIPS, 1185 // e2e.TWIPS),
              f"the window's surface is {w.client(win)[2:]}")
        e2e.wait_for(lambda: playerctl(s, "status") == "Stopped", BOUND_S, 0.05, "MPRIS")
        said = Announcements(s)

        # A click on the folder button; the player's own chooser takes a typed folder.
        w.click_control(win, *FOLDER)
        dlg = w.wait_window("^Selecciona la carpeta$")
        w.type(folder)
        w.key("Return")
        e2e.wait_for(lambda: not w.window(dlg), BOUND_S, 0.05, "the chooser to close")
        can_play = ("Get", "org.freedesktop.DBus.Properties", "zampoplay",
                    "string:org.mpris.MediaPlayer2.Player", "string:CanPlay")
        e2e.wait_for(lambda: "boolean true" in call(s, *can_play)[1], BOUND_S, 0.02, "CanPlay")

        def started(what, do, want=None):
            """Does what starts a song: announced once, then in the caption."""
            n, t = len(said.values("xesam:title")), time.monotonic()
            do()
            if want == "silence":
                e2e.wait_for(lambda: playerctl(s, "status") == "Stopped", BOUND_S, 0.02, what)
                events.append((t, what, None))
            else:
                e2e.wait_for(lambda: len(said.values("xesam:title")) > n, BOUND_S, 0.01,
                             f"a song on {what}")
                title = said.values("xesam:title")[-1]
                check(want in (None, title), f"{what} started {title}, not {want}")
                e2e.wait_for(lambda: w.get(win, "name") == title, BOUND_S, 0.02, title)
                events.append((t, what, title))
            time.sleep(HOLD_S)
            return events[-1][2]

        press = lambda name: lambda: screen_reader(s, name)
        first = started("Reproducir", press("Reproducir"))
        check(first in tones and playerctl(s, "metadata", "xesam:title") == first,
              f"MPRIS says {playerctl(s, 'metadata', 'xesam:title')} plays, not {first}")
        shot = w.shot(win)
        check(enabled(shot) == PLAYING, f"buttons drawn enabled: {sorted(enabled(shot))}")
        w.shot(win, frame=True).save(args.screenshot or os.path.join(work, "screenshot.png"))
        second = started("Siguiente", press("Siguiente"))
        started("Anterior", press("Anterior"), first)
        time.sleep(3)  # loud enough by now that its start again is heard as one
        started("Repetir", press("Repetir"), first)
        started("Parar", press("Parar"), "silence")

        # Launched by the compositor on another workspace, a second start hands its folder
        # and its leave to take the focus over: the player asks for the focus. Raise
        # without one is refused by the compositor, and nothing is said.
        w.msg("workspace", "2")
        started("a second start", lambda: w.msg(f"exec {zampoplay} {other}"), HANDED[0])
        e2e.wait_for(lambda: w.get(win, "urgent"), BOUND_S, 0.05, "the player asking for focus")
        check(len(w.windows(visible=False)) == 1, "more than one window")
        w.msg("workspace", "1")
        call(s, "Raise", "org.mpris.MediaPlayer2")

        # The first close stops the song and keeps the window; the second ends the player.
        started("the first close", lambda: w.close(win), "silence")
        check(w.window(win) and player.poll() is None, "the first close ended the player")
        w.close(win)
        check(player.wait(BOUND_S) == 0, f"the player ended with {player.returncode}")
        rec.stop()

    with open(os.path.join(work, "zampoplay.log"), "rb") as f:
        printed = [ln for ln in f.read().splitlines() if not ln.startswith(QT_KEYMAP)]
    check(not printed, f"zampoplay printed {printed}")
    e2e.check_heard(rec, e2e.plays(rec.x, tones, {n: SECONDS for n in tones}), events)
    check(second != first, "next started the same song")
    return 0


if __name__ == "__main__":
    e2e.main_guard(lambda: run(e2e.arguments(screenshot=True)))
