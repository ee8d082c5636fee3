"""Shared pieces of the end-to-end tests and the player's benchmarks.

A private X display (Xvfb with openbox), a private PulseAudio server with a null
sink, on request a private session bus (with the accessibility bus on it), a recorder of the sink's monitor that knows when each sample sounded
on the monotonic clock, real input through xdotool, screenshots, songs made of
distinct tones, and the analysis that finds the songs in a recording.

Everything the session starts is a child of this process and is stopped by its
own handle when the session ends.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import wave

import numpy as np

RATE = 44100
CHANNELS = 2
SINK = "zsink"
SKIP = 77  # ctest's SKIP_RETURN_CODE

# Without a virtual display or a sound server the tests cannot run here at all (they
# skip); the helpers are installed with them by scripts/install-deps.sh (they fail).
ESSENTIAL = ["Xvfb", "pulseaudio"]
HELPERS = ["openbox", "xdotool", "xprop", "xwininfo", "import", "pactl", "parec", "lame"]


def missing_tools(names):
    return [t for t in names if shutil.which(t) is None]


def check_tools(extra=(), sound=True):
    """None when everything is there; SKIP when there is no display (or sound
    server) to run on; a Failure for a missing helper."""
    missing = missing_tools(ESSENTIAL if sound else ["Xvfb"])
    if missing:
        print("SKIP: not installed: " + ", ".join(missing))
        return SKIP
    helpers = HELPERS if sound else [h for h in HELPERS if h not in ("pactl", "parec", "lame")]
    missing = missing_tools(helpers + list(extra))
    check(not missing, "not installed: " + ", ".join(missing) +
          " (scripts/install-deps.sh installs them)")
    return None


MARK = ".zampolo-e2e"


def fresh_folder(path):
    """An empty work folder; only a folder that a run made before is emptied."""
    path = os.path.abspath(path)
    if os.path.isdir(path) and os.listdir(path):
        check(os.path.exists(os.path.join(path, MARK)),
              f"{path} is not empty and not an earlier run's folder")
        shutil.rmtree(path)
    os.makedirs(path, exist_ok=True)
    open(os.path.join(path, MARK), "w").close()
    return path


class Failure(Exception):
    """A check of the test failed."""


def check(cond, what):
    if not cond:
        raise Failure(what)


def wait_for(pred, timeout, step=0.02, what="condition"):
    """pred()'s first true value, polling until timeout seconds have passed."""
    end = time.monotonic() + timeout
    while True:
        v = pred()
        if v:
            return v
        if time.monotonic() > end:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(step)


# The session bus's own settings, without its service directories.
BUS_CONFIG = """<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>"""


class Session:
    """Xvfb + openbox + PulseAudio with a null sink, all under one work folder."""

    def __init__(self, work):
        self.work = os.path.abspath(work)
        os.makedirs(self.work, exist_ok=True)
        self.home = os.path.join(self.work, "home")
        self.runtime = os.path.join(self.work, "xdg-runtime")
        for d in (self.home, self.runtime):
            os.makedirs(d, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        self.procs = []  # (name, Popen), stopped in reverse order
        # The environment of every program started here: nothing of the user's
        # home, display, sound server or session bus leaks in or is written to (no
        # bus until start_bus), and none of the
        # programs' test settings (MP3_OUTPUT, ZAMPOLO_...) is inherited.
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("PULSE_", "QT_", "XDG_", "DISPLAY", "WAYLAND", "MP3_",
                                    "ZAMPOLO_", "DBUS_", "AT_SPI_"))}
        env.update(HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   QT_QPA_PLATFORM="xcb", GSETTINGS_BACKEND="memory")  # no dconf service
        env.setdefault("LANG", "C.UTF-8")
        self.env = env

    def log(self, name):
        return open(os.path.join(self.work, name + ".log"), "ab")

    def spawn(self, name, argv, **kw):
        kw.setdefault("stdout", self.log(name))
        kw.setdefault("stderr", subprocess.STDOUT)
        p = subprocess.Popen(argv, env=kw.pop("env", self.env), **kw)
        self.procs.append((name, p))
        return p

    # -- display ---------------------------------------------------------
    def start_display(self):
        # -displayfd: Xvfb picks a free display itself and tells us its number.
        r, w = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24",
                            "-dpi", "96", "-nolisten", "tcp", "-noreset"], pass_fds=(w,))
        os.close(w)
        num = b""
        end = time.monotonic() + 10
        while not num.endswith(b"\n") and time.monotonic() < end:
            chunk = os.read(r, 16)
            if not chunk:
                break
            num += chunk
        os.close(r)
        check(num.strip().isdigit(), "Xvfb did not report a display number")
        self.env["DISPLAY"] = ":" + num.decode().strip()
        self.spawn("openbox", ["openbox", "--sm-disable"])
        wait_for(lambda: b"window id" in self.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check_rc=False),
            10, 0.05, "the window manager")

    # -- sound -----------------------------------------------------------
    def start_audio(self):
        pulse = os.path.join(self.work, "pulse")
        os.makedirs(pulse, exist_ok=True)
        os.chmod(pulse, 0o700)
        self.env.update(PULSE_RUNTIME_PATH=pulse, PULSE_SERVER="unix:" + pulse + "/native",
                        PULSE_COOKIE=os.path.join(self.work, "pulse-cookie"), PULSE_SINK=SINK)
        # -n: no default.pa (no card detection, no suspend on idle); norewinds keeps the
        # first milliseconds of each new stream in the monitor.
        self.spawn("pulseaudio", [
            "pulseaudio", "--daemonize=no", "--system=false", "-n", "--exit-idle-time=-1",
            "--use-pid-file=no", "--log-target=stderr",
            f"--load=module-null-sink sink_name={SINK} rate={RATE} channels={CHANNELS} "
            "format=s16le norewinds=1",
            f"--load=module-native-protocol-unix auth-anonymous=1 socket={pulse}/native"])
        wait_for(lambda: self.run(["pactl", "info"], check_rc=False, rc_only=True) == 0,
                 10, 0.05, "the PulseAudio server")
        self.run(["pactl", "set-default-sink", SINK])

    # -- session bus -----------------------------------------------------
    def start_bus(self):
        """A private session bus; the programs started from now on find it. It starts
        no service on demand: each service is started here, as a child of this process."""
        config = os.path.join(self.work, "session-bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG)
        r, w = os.pipe()
        self.bus = self.spawn("dbus-daemon", [
            "dbus-daemon", f"--config-file={config}", "--nofork", "--nopidfile",
            "--address=unix:path=" + os.path.join(self.work, "session-bus"),
            f"--print-address={w}"], pass_fds=(w,))
        os.close(w)
        with os.fdopen(r, "rb") as f:
            address = f.readline().decode().strip()
        check(address.startswith("unix:"), "dbus-daemon did not report its address")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def stop_bus(self):
        """The bus goes away under the programs that use it; later ones find none."""
        self.bus.terminate()
        self.bus.wait(5)
        del self.env["DBUS_SESSION_BUS_ADDRESS"]

    def start_portal(self):
        """The desktop's file chooser: xdg-desktop-portal with its GTK backend, on this
        bus and display. Both processes, for a test to end them."""
        gtk = self.spawn("portal-gtk", ["/usr/libexec/xdg-desktop-portal-gtk"])
        wait_for(lambda: "org.freedesktop.impl.portal.desktop.gtk" in self.bus_names(), 10,
                 0.05, "the portal's GTK backend")
        portal = self.spawn("portal", ["/usr/libexec/xdg-desktop-portal"])
        wait_for(lambda: "org.freedesktop.portal.Desktop" in self.bus_names(), 10, 0.05,
                 "the portal")
        return portal, gtk

    def bus_names(self):
        out = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"]).decode()
        return re.findall(r'string "([^"]+)"', out)

    def start_accessibility(self):
        """The accessibility bus on the session bus, switched on as a screen reader
        switches it on, so that the programs started from now on join it."""
        self.spawn("at-spi-bus-launcher", ["/usr/libexec/at-spi-bus-launcher",
                                           "--launch-immediately"])
        wait_for(lambda: "org.a11y.Bus" in self.bus_names(), 10, 0.05, "the accessibility bus")
        self.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                  "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                  "string:IsEnabled", "variant:boolean:true"])

    # -- programs --------------------------------------------------------
    def run(self, argv, check_rc=True, rc_only=False, timeout=20):
        p = subprocess.run(argv, env=self.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, timeout=timeout)
        if rc_only:
            return p.returncode
        if check_rc and p.returncode != 0:
            raise Failure(f"{' '.join(argv)} exited with {p.returncode}")
        return p.stdout

    def stop(self):
        for name, p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.procs.clear()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# -- recording ---------------------------------------------------------------
class Recorder:
    """Records the sink's monitor through parec and keeps, for every block read,
    when it arrived. A sample reaches parec at the earliest when the sink renders
    it, which is at most one sink block (block_s) before it sounds; so the earliest
    (arrival - position) over all blocks pins sample 0 on the monotonic clock, and
    a time read from the recording may be up to block_s early."""

    def __init__(self, session, latency_ms=10):
        self.session = session
        self.proc = session.spawn("parec", [
            "parec", "--raw", f"--device={SINK}.monitor", "--format=s16le", f"--rate={RATE}",
            f"--channels={CHANNELS}", f"--latency-msec={latency_ms}"],
            stdout=subprocess.PIPE, stderr=session.log("parec"))
        self.chunks = []
        self.arrivals = []  # (monotonic time, frames so far)
        self.frames = 0
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        # An idle null sink renders in long blocks: wait until data flows.
        wait_for(lambda: self.frames > RATE // 10, 10, 0.01, "the first recorded sound")
        # The sink renders up to one block ahead of its clock, so a sample may reach
        # parec that much before it sounds: the uncertainty of every sound time.
        out = session.run(["pactl", "list", "sinks"]).decode()
        m = re.search(r"Latency: \d+ usec, configured (\d+) usec", out)
        self.block_s = int(m.group(1)) / 1e6 if m else latency_ms / 1000

    def _read(self):
        fd = self.proc.stdout.fileno()
        pending = b""
        while True:
            data = os.read(fd, 1 << 16)
            t = time.monotonic()
            if not data:
                break
            data = pending + data
            whole = len(data) - len(data) % (2 * CHANNELS)
            pending = data[whole:]
            self.chunks.append(data[:whole])
            self.frames += whole // (2 * CHANNELS)
            self.arrivals.append((t, self.frames))

    def stop(self, timed=True):
        """timed=False: only what sounded matters, not when."""
        time.sleep(0.2)  # the last blocks reach parec
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(5)
        self.thread.join(5)
        pcm = np.frombuffer(b"".join(self.chunks), dtype="<i2").reshape(-1, CHANNELS)
        self.x = pcm.astype(np.float64) / 32768.0
        t = np.array([a[0] for a in self.arrivals])
        n = np.array([a[1] for a in self.arrivals], dtype=np.float64)
        lag = t - n / RATE
        # Skip the first blocks: the server hands over what it had buffered at once.
        steady = lag[5:] if len(lag) > 20 else lag
        self.t0 = float(steady.min())
        self.spread_ms = float(np.percentile(steady - self.t0, 50) * 1000)
        # The sink's clock is the monotonic one: the two halves must agree, or parec
        # lost samples and the time base is broken.
        half = len(steady) // 2
        drift = abs(steady[half:].min() - steady[:half].min()) if half else 0.0
        check(drift < 0.01 or not timed, f"the recording lost {drift * 1000:.0f} ms of sound")
        return self

    def time_of(self, frame):
        """Monotonic time at which recorded frame `frame` sounded."""
        return self.t0 + frame / RATE

    def frame_of(self, t):
        return int(round((t - self.t0) * RATE))

    def save(self, path):
        with wave.open(path, "wb") as w:
            w.setnchannels(CHANNELS)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes((np.clip(self.x, -1, 32767 / 32768) * 32768).astype("<i2").tobytes())


# -- songs -----------------------------------------------------------------
LEVEL_START, LEVEL_END = 0.15, 0.6  # a song's amplitude grows linearly over its length


def make_song(path, freq, seconds):
    """A CBR MP3 of one tone whose amplitude rises from LEVEL_START to LEVEL_END:
    the tone says which song sounds, the level how far into it."""
    n = int(seconds * RATE)
    t = np.arange(n) / RATE
    amp = LEVEL_START + (LEVEL_END - LEVEL_START) * t / seconds
    y = amp * np.sin(2 * np.pi * freq * t)
    pcm = (np.repeat(y[:, None], CHANNELS, axis=1) * 32767).astype("<i2")
    wav = path + ".wav"
    with wave.open(wav, "wb") as w:
        w.setnchannels(CHANNELS)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())
    subprocess.run(["lame", "--quiet", "-b", "128", wav, path], check=True)
    os.remove(wav)


# -- the analysis ------------------------------------------------------------
HOP = RATE // 100  # 10 ms frames
FFT = 2048
SILENT_RMS = 0.02  # the quietest song sample has an RMS of about 0.1


def dominant(x):
    win = np.hanning(len(x))
    p = np.abs(np.fft.rfft(x * win)) ** 2
    p[0] = 0
    k = int(np.argmax(p))
    if 0 < k < len(p) - 1:
        a, b, c = np.log(p[k - 1:k + 2] + 1e-30)
        den = a - 2 * b + c
        k = k + (0.5 * (a - c) / den if den else 0.0)
    return k * RATE / len(x)


def plays(x, tones, lengths):
    """The songs heard in recording x (frames x channels), in order.

    tones: {song: frequency}; lengths: {song: seconds}. A play starts where sound
    starts, where the tone changes, or where the level falls back (the same song
    started again). Each play: song, first and last frame, and where in the song
    it started and ended (seconds, from the level).
    """
    mono = x.mean(axis=1)
    n = len(mono) // HOP
    rms = np.sqrt((mono[:n * HOP].reshape(n, HOP) ** 2).mean(axis=1))
    label = [None] * n
    for i in range(n):
        if rms[i] < SILENT_RMS:
            continue
        a = i * HOP + HOP // 2 - FFT // 2
        seg = mono[max(0, a):max(0, a) + FFT]
        if len(seg) < FFT // 2:
            continue
        f = dominant(seg)
        best = min(tones, key=lambda s: abs(tones[s] - f))
        if abs(tones[best] - f) < 0.04 * tones[best]:
            label[i] = best
    out = []
    cur = None
    for i in range(n):
        if rms[i] < SILENT_RMS:
            if cur:
                out.append(cur)
                cur = None
            continue
        s = label[i]
        restart = (cur is not None and s == cur["song"] and i >= 3 and
                   rms[i] < 0.8 * rms[i - 3] and rms[i - 3] - rms[i] > 0.02)
        if cur is None or (s is not None and s != cur["song"]) or restart:
            if cur:
                out.append(cur)
            cur = {"song": s, "first": i, "last": i}
        else:
            cur["last"] = i
            if cur["song"] is None:
                cur["song"] = s
    if cur:
        out.append(cur)
    res = []
    for p in out:
        if p["song"] is None or p["last"] - p["first"] < 5:
            continue  # a click or a blend between two songs
        L = lengths[p["song"]]
        amp = lambda r: r * np.sqrt(2)
        pos = lambda r: (amp(r) - LEVEL_START) / (LEVEL_END - LEVEL_START) * L
        head = np.median(rms[p["first"] + 1:p["first"] + 5])
        tail = np.median(rms[p["last"] - 4:p["last"]])
        res.append({"song": p["song"], "first": p["first"] * HOP, "last": (p["last"] + 1) * HOP,
                    "from_s": round(float(pos(head)), 2), "to_s": round(float(pos(tail)), 2),
                    "dur_s": round((p["last"] + 1 - p["first"]) * HOP / RATE, 2)})
    return res


def tone_end(x, start, freq, search_s=1.0):
    """Where a tone that sounds just before `start` stops (falls silent or gives way
    to another sound), to the millisecond: the tone is fitted on the 50 ms before
    `start` and followed on until the recording leaves it."""
    mono = x.mean(axis=1)
    fit = np.arange(start - 2205, start)
    basis = lambda n: np.stack([np.sin(2 * np.pi * freq * n / RATE),
                                np.cos(2 * np.pi * freq * n / RATE)], axis=1)
    coef = np.linalg.lstsq(basis(fit), mono[fit], rcond=None)[0]
    level = np.sqrt(np.mean((basis(fit) @ coef) ** 2))
    n = np.arange(start, min(len(mono), start + int(search_s * RATE)))
    resid = mono[n] - basis(n) @ coef
    ms = RATE // 1000
    for k in range(0, len(n) - ms, ms):
        if np.sqrt(np.mean(resid[k:k + ms] ** 2)) > 0.35 * level:
            return start + k
    return None


def check_heard(rec, heard, events):
    """What sounded after each event (time, what, the song it must start or None, and
    optionally when the program had handled it): that song from its start, or no new
    song, until the next event; after a handled stop, nothing goes on past a second."""
    early = rec.block_s + HOP / RATE
    for i, (t, what, song, *handled) in enumerate(events):
        until = events[i + 1][0] - early if i + 1 < len(events) else float("inf")
        new = [p for p in heard if t - early <= rec.time_of(p["first"]) < until]
        print(f"  {what:<20} {[p['song'] for p in new]}")
        if song:
            check([p["song"] for p in new] == [song] and new[0]["from_s"] < 0.2,
                  f"{what}: expected {song} from its start, heard {new}")
        else:
            check(not new, f"{what}: a song started: {new}")
        if handled:  # silent well before a second has passed (the speed is bench/decoder's)
            check(not [p for p in heard if rec.time_of(p["first"]) < t and
                       rec.time_of(p["last"]) > handled[0] + 1.0], f"{what}: the song went on")


def first_sound(x, start, end=None):
    seg = np.abs(x[start:end]).max(axis=1)
    loud = np.flatnonzero(seg > SILENT_RMS)
    return start + int(loud[0]) if len(loud) else None


# -- X ---------------------------------------------------------------------
TWIPS = 15  # twips per pixel at 96 dpi


class X:
    def __init__(self, session):
        self.s = session

    def windows(self, name, visible=True):
        """Windows whose name matches; with visible=False also unmapped ones (a
        minimised window is unmapped)."""
        out = self.s.run(["xdotool", "search", *(["--onlyvisible"] if visible else []),
                          "--name", name], check_rc=False)
        return [int(w) for w in out.split()]

    # The bound only stops a test that would hang: a busy machine may take long to map.
    def wait_window(self, name, timeout=60):
        return wait_for(lambda: (self.windows(name) or [None])[0], timeout, 0.02,
                        f"a window named {name!r}")

    def wait_gone(self, wid, timeout=60):
        wait_for(lambda: wid not in self.windows("."), timeout, 0.02, f"window {wid} to close")

    def geometry(self, wid):
        """(x, y, width, height) of the window on the screen."""
        out = self.s.run(["xwininfo", "-id", str(wid)]).decode()
        g = {k: int(re.search(k + r":\s+(-?\d+)", out).group(1))
             for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")}
        return (g["Absolute upper-left X"], g["Absolute upper-left Y"], g["Width"], g["Height"])

    def frame(self, wid):
        """The window manager's frame around a client window."""
        out = self.s.run(["xwininfo", "-tree", "-id", str(wid)]).decode()
        return int(re.search(r"Parent window id: (0x[0-9a-f]+)", out).group(1), 16)

    def state(self, wid):
        out = self.s.run(["xprop", "-id", str(wid), "WM_STATE"], check_rc=False).decode()
        m = re.search(r"window state: (\w+)", out)
        return m.group(1) if m else None

    def click(self, wid, x, y):
        """A real click (XTEST) at (x, y) of the window; the monotonic times just
        before and just after the events were sent."""
        t0 = time.monotonic()
        self.s.run(["xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1"])
        return t0, time.monotonic()

    def click_at(self, x, y):
        """A real click at (x, y) of the screen."""
        t0 = time.monotonic()
        self.s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        return t0, time.monotonic()

    def click_control(self, wid, left, top, width, height):
        """Click the middle of a control placed in twips."""
        return self.click(wid, (left + width // 2) // TWIPS, (top + height // 2) // TWIPS)

    def chooser(self, program):
        """The open folder chooser drawn by the program of that class (WM_CLASS)."""
        return wait_for(lambda: next((w for w in self.windows("^Selecciona la carpeta$") if
                                      f'"{program}"'.encode() in self.s.run(
                                          ["xprop", "-id", str(w), "WM_CLASS"], check_rc=False)),
                                     None), 60, 0.05, f"the chooser of {program}")

    def choose_folder(self, wid, folder, portal=False):
        """The player's folder button, then the folder's path typed into the chooser:
        ours opens with the focus in its name field; the portal's (GTK) in its recent
        files, where the location field (ctrl+L) takes no folder, so it goes home first."""
        self.click_control(wid, 120, 120, 615, 615)
        dlg = self.chooser("xdg-desktop-portal-gtk" if portal else "zampoplay")
        self.activate(dlg)
        if portal:
            self.key("alt+Home")
            self.key("ctrl+l")
        self.type(folder)
        self.key("Return")
        try:
            self.wait_gone(dlg, 2)
        except Failure:
            self.key("Return")  # the first Return only went into the folder
            self.wait_gone(dlg)

    def close_twice(self, p, wid):
        """The close box until the program ends (the first close only stops a list
        that plays); its exit status."""
        fx, fy, fw, fh = self.geometry(self.frame(wid))
        for _ in range(2):
            if p.poll() is not None:
                break
            self.click_at(fx + fw - 12, fy + 10)
            try:
                p.wait(1.5)
            except subprocess.TimeoutExpired:
                pass
        check(p.poll() is not None, "the program did not end on two closes")
        return p.returncode

    def key(self, *keys):
        self.s.run(["xdotool", "key", "--clearmodifiers", *keys])

    def type(self, text):
        self.s.run(["xdotool", "type", "--delay", "8", text])

    def activate(self, wid):
        self.s.run(["xdotool", "windowactivate", "--sync", str(wid)], check_rc=False)

    def shot(self, wid=None):
        """A screenshot (PIL image) of one window, or of the whole screen, and the
        monotonic time in the middle of taking it."""
        from PIL import Image
        import io
        end = time.monotonic() + 3
        while True:
            # A window that was just mapped may not be viewable for a moment.
            t0 = time.monotonic()
            png = self.s.run(["import", "-window", str(wid) if wid else "root", "png:-"],
                             check_rc=False)
            t1 = time.monotonic()
            if png or t1 > end:
                break
            time.sleep(0.02)
        check(png, f"no screenshot of window {wid}")
        return Image.open(io.BytesIO(png)).convert("RGB"), (t0 + t1) / 2


class Sway:
    """A private headless sway, whose native clients the programs started from now on
    are. A client binds a keyboard or pointer only while the seat has one: a keyboard
    (wtype) and a pointer (a VNC session) are held throughout; clicks are the seat's."""

    def __init__(self, session, width=1024, height=768):
        self.s = session
        config = os.path.join(session.work, "sway.conf")
        with open(config, "w") as f:
            f.write(f"xwayland disable\noutput HEADLESS-1 resolution {width}x{height}\n")
        session.env.update(QT_QPA_PLATFORM="wayland", XDG_SESSION_TYPE="wayland")
        env = dict(session.env, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                   WLR_LIBINPUT_NO_DEVICES="1")
        session.spawn("sway", ["sway", "--config", config], env=env)
        rt = session.runtime
        found = lambda name: [f for f in os.listdir(rt) if re.fullmatch(name, f)]
        wait_for(lambda: found(r"wayland-\d+") and found(r"sway-ipc\..*\.sock"), 30, 0.05, "sway")
        session.env.update(WAYLAND_DISPLAY=found(r"wayland-\d+")[0],
                           SWAYSOCK=os.path.join(rt, found(r"sway-ipc\..*\.sock")[0]))
        session.spawn("wtype-held", ["wtype", "-s", "900000"])
        vnc = os.path.join(session.work, "vnc")
        session.spawn("wayvnc", ["wayvnc", "-u", vnc])
        wait_for(lambda: os.path.exists(vnc), 10, 0.05, "wayvnc's socket")
        session.spawn("vncdo", ["vncdo", "-s", vnc, "pause", "900"])
        wait_for(lambda: {"keyboard", "pointer"} <= {d["type"] for d in self.msg(
            "-t", "get_inputs")}, 10, 0.05, "a held keyboard and pointer")

    def msg(self, *args):
        return json.loads(self.s.run(["swaymsg", "-r", *args]))

    def windows(self, title=".", visible=True):
        """sway's nodes of the player's windows (visible: on the workspace shown)."""
        def walk(n):
            yield n
            for c in n.get("nodes", []) + n.get("floating_nodes", []):
                yield from walk(c)
        return [n for n in walk(self.msg("-t", "get_tree")) if n.get("app_id") == "zampoplay"
                and (n.get("visible") or not visible) and re.search(title, n.get("name") or "")]

    def wait_window(self, title, timeout=60):
        return wait_for(lambda: (self.windows(title) or [None])[0], timeout, 0.05,
                        f"a window titled {title!r}")

    def window(self, con):
        """The node of that window now, or None once it is gone."""
        return next((n for n in self.windows(visible=False) if n["id"] == con["id"]), None)

    def get(self, con, key):
        """What the compositor says of that window now (name: its title), if it is there."""
        return (self.window(con) or {}).get(key)

    def client(self, con):
        """(x, y, width, height) of the window's own surface on the output."""
        n, r = self.window(con), self.window(con)["window_rect"]
        return (n["rect"]["x"] + r["x"], n["rect"]["y"] + r["y"], r["width"], r["height"])

    def click_control(self, con, left, top, width, height):
        x, y, _, _ = self.client(con)
        x, y = x + (left + width // 2) // TWIPS, y + (top + height // 2) // TWIPS
        for cmd in (f"cursor set {x} {y}", "cursor press button1", "cursor release button1"):
            self.msg("seat", "-", *cmd.split())

    def type(self, text):
        self.s.run(["wtype", "-d", "8", text])

    def key(self, key):
        self.s.run(["wtype", "-k", key])

    def close(self, con):
        self.msg(f"[con_id={con['id']}]", "kill")

    def shot(self, con, frame=False):
        """A picture of the window's surface, or of sway's frame around it."""
        from PIL import Image
        import io
        self.msg("seat", "-", "cursor", "set", "0", "0")  # the pointer off the window
        r = self.window(con)["rect"]
        x, y, w, h = self.client(con)
        if frame:  # the title bar stands above the rectangle of a floating window
            top = self.window(con)["deco_rect"]["height"]
            x, y, w, h = r["x"], r["y"] - top, r["width"], r["height"] + top
        png = self.s.run(["grim", "-g", f"{x},{y} {w}x{h}", "-"])
        return Image.open(io.BytesIO(png)).convert("RGB")


class TitleWatch:
    """Every change of a window's title, with the monotonic time it was seen."""

    def __init__(self, session, wid):
        self.proc = session.spawn("xprop-spy", ["xprop", "-spy", "-id", str(wid), "_NET_WM_NAME"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.seen = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.proc.stdout:
            m = re.match(rb'_NET_WM_NAME\(UTF8_STRING\) = "(.*)"\s*$', line)
            if m:
                text = m.group(1).decode("utf-8", "replace").replace('\\"', '"')
                self.seen.append((time.monotonic(), text))

    def current(self):
        return self.seen[-1][1] if self.seen else None

    def at(self, t):
        """The title shown at monotonic time t."""
        cur = None
        for ts, text in self.seen:
            if ts > t:
                break
            cur = text
        return cur

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(5)


# -- reading text off the screen -------------------------------------------
FONT_DIRS = ["/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/liberation2",
             "/usr/share/fonts/truetype/dejavu"]


def _ink(a):
    ys, xs = np.nonzero(a)
    if len(ys) == 0:
        return a[:0, :0]
    return a[ys.min():ys.max() + 1, xs.min():xs.max() + 1]


def _grow(a):
    b = a.copy()
    b[1:] |= a[:-1]
    b[:-1] |= a[1:]
    b[:, 1:] |= a[:, :-1]
    b[:, :-1] |= a[:, 1:]
    return b


class TextReader:
    """Tells which of a few candidate texts a picture shows: the picture's dark
    pixels against each candidate drawn in the same font. With slack, a dark pixel
    within one pixel of the other drawing counts as matching (small text, whose
    hinting differs); without, big glyphs that differ in a few strokes (0 and 8)
    stay apart."""

    def __init__(self, font_file, px, slack=True, worst=0.1, margin=0.05):
        from PIL import ImageFont
        path = next((os.path.join(d, font_file) for d in FONT_DIRS
                     if os.path.exists(os.path.join(d, font_file))), None)
        check(path, f"font {font_file} not found")
        self.font = ImageFont.truetype(path, px)
        self.slack, self.worst, self.margin = slack, worst, margin
        self.cache = {}

    def _render(self, text):
        if text not in self.cache:
            from PIL import Image, ImageDraw
            w = int(self.font.getlength(text)) + 40
            im = Image.new("L", (w, 3 * self.font.size), 255)
            ImageDraw.Draw(im).text((10, self.font.size // 2), text, font=self.font, fill=0)
            self.cache[text] = _ink(np.array(im) < 128)
        return self.cache[text]

    def mismatch(self, a, b):
        """Share of the dark pixels of a and b that the other does not have (within
        one pixel, with slack), at the best of the small shifts."""
        if abs(a.shape[1] - b.shape[1]) > 8 or abs(a.shape[0] - b.shape[0]) > 4:
            return 1.0
        H = max(a.shape[0], b.shape[0]) + 4
        W = max(a.shape[1], b.shape[1]) + 4
        A = np.zeros((H, W), bool)
        A[2:2 + a.shape[0], 2:2 + a.shape[1]] = a
        grow = _grow if self.slack else (lambda m: m)
        GA = grow(A)
        best = 1.0
        for dy in range(0, H - b.shape[0] + 1):
            for dx in range(0, W - b.shape[1] + 1):
                B = np.zeros((H, W), bool)
                B[dy:dy + b.shape[0], dx:dx + b.shape[1]] = b
                off = (A & ~grow(B)).sum() + (B & ~GA).sum()
                best = min(best, off / max(1, (A | B).sum()))
        return best

    def read(self, image, candidates):
        """The candidate the picture shows, or None when none clearly matches."""
        if image is None:
            return None
        ink = _ink(np.array(image.convert("L")) < 128)
        if ink.size == 0:
            return None
        scored = sorted((self.mismatch(ink, self._render(c)), c) for c in candidates)
        best = scored[0]
        if best[0] > self.worst or (len(scored) > 1 and scored[1][0] - best[0] < self.margin):
            return None
        return best[1]


def box_reader():
    """Message boxes: Qt's default font here, DejaVu Sans 9 pt."""
    return TextReader("DejaVuSans.ttf", 12)


def box_text(x, box):
    """The upper part of a message box, where its text stands above the OK button;
    None while the box cannot be pictured yet."""
    try:
        img, _ = x.shot(box)
    except Failure:
        return None
    w, h = img.size
    return img.crop((0, 0, w, int(h * 0.45)))


def lcd_reader():
    """The player's time display: Arial (its metric twin) 20.25 pt bold italic."""
    return TextReader("LiberationSans-BoldItalic.ttf", 27, slack=False, worst=0.12, margin=0.03)


def format_time(ms):
    """mm:ss as the player writes it: whole seconds cut toward zero."""
    s = int(ms / 1000)
    m = 0
    while s > 59:
        s -= 60
        m += 1
    return f"{m:02d}:{s:02d}" if s >= 0 else f"{m:02d}:-{-s:02d}"


def arguments(screenshot=False):
    """A test's command line: the programs' folder, its work folder, and where to write
    its picture of the window."""
    import argparse
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", required=True)
    ap.add_argument("--work", required=True)
    if screenshot:
        ap.add_argument("--screenshot", help="where to write the window's picture")
    return ap.parse_args()


def main_guard(fn):
    """Runs a test's main: prints a failed check plainly and exits 1."""
    try:
        sys.exit(fn())
    except Failure as e:
        print(f"FAILED: {e}", file=sys.stderr)
        sys.exit(1)
