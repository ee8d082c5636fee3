#!/usr/bin/python3
"""zampoinst end to end: the real program in a real X display, used like a person.

  installer_e2e.py --dist BUILD/dist --work DIR

Starts Xvfb with openbox, starts zampoinst from a folder laid out like the
build's distribution folder with a system directory of its own
(ZAMPOLO_SYSTEM_DIR), clicks its button and answers every message box with the
keyboard, reading each box's text off the screen. Checks the copied files, the
registration tool started minimised for each copied file with its report, and
that the installer then ends.

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb installed).
"""
import filecmp
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e2e  # noqa: E402
from e2elib import check, Failure  # noqa: E402

BUTTON = (3240, 2160, 2415, 1455)
LABEL1 = (240, 480, 5055, 855)
LIBRARIES = ["MP3.DLL", "MSVBVM50.DLL"]
PROGRAM = ["zampoinst", "libzampolo-platform.so", "REGSVR32.EXE"]
TITLE = r"^REGISTRAR ARCHIVOS - "


def present(name):
    return f"el archivo {name} ya se encontraba en SYSTEM"


def missing(name):
    return f"el archivo {name} No lo encuentro"


def registered(name):
    return f"DllRegisterServer en {name} se ejecutó correctamente."


class Installer:
    def __init__(self, s, x, work):
        self.s, self.x, self.work = s, x, work
        self.boxes = e2e.box_reader()
        self.labels = e2e.TextReader("LiberationSans-Regular.ttf", 13)  # Arial 9.75 pt

    def folder(self, name, libraries):
        """An installer's folder: the program and the given libraries beside it."""
        path = os.path.join(self.work, name)
        os.makedirs(path)
        for f in PROGRAM + libraries:
            shutil.copy2(os.path.join(self.dist, f), path)
        return path

    def start(self, folder, system):
        self.out = os.path.join(self.work, os.path.basename(system) + ".out")
        env = dict(self.s.env, ZAMPOLO_SYSTEM_DIR=system)
        self.proc = self.s.spawn("zampoinst", [os.path.join(folder, "zampoinst")], env=env,
                                 cwd=self.work, stdout=open(self.out, "ab"))
        self.wid = self.x.wait_window(TITLE)
        img, _ = self.x.shot(self.wid)
        l, t, w, h = LABEL1
        label = img.crop((l // 15, t // 15, (l + w) // 15, (t + h) // 15))
        text = "Para windows XP y para windows VISTA"
        check(self.labels.read(label, [text]) == text, "the top label does not read as it should")

    def press(self):
        self.x.click_control(self.wid, *BUTTON)

    def answer(self, expected, title="^Registrar archivos$", read_as=None):
        """Waits for a box, reads its text, presses Return; the text read."""
        box = self.x.wait_window(title, 10)
        if self.x.state(box) == "Iconic":
            self.x.activate(box)
            e2e.wait_for(lambda: self.x.state(box) == "Normal", 3, 0.02, "the box restored")
        img = e2e.wait_for(lambda: e2e.box_text(self.x, box), 3, 0.05, "the box's text")
        got = self.boxes.read(img, read_as or [expected])
        check(got == expected, f"a box reads {got!r}, expected {expected!r}")
        self.x.activate(box)
        self.x.key("Return")
        self.x.wait_gone(box, 3)
        return got

    def ended(self, status=0):
        try:
            rc = self.proc.wait(10)
        except Exception:
            raise Failure("the installer did not end")
        check(rc == status, f"the installer ended with {rc}, expected {status}")

    def tools(self):
        """Windows of the registration tools now running (each earlier one has been
        answered and has ended)."""
        # Minimised windows are unmapped: look at all, keep those the manager holds.
        return [w for w in self.x.windows("^RegSvr32$", visible=False)
                if self.x.state(w) in ("Normal", "Iconic")]

    def answer_tools(self, names):
        """The registration tools of the given files: started minimised, each with
        its report; answered with OK, after which they end."""
        wins = e2e.wait_for(lambda: len(self.tools()) >= len(names) and self.tools(), 10, 0.05,
                            f"{len(names)} registration tool(s)")
        check(len(wins) == len(names), f"{len(wins)} registration tools, expected {len(names)}")
        for w in wins:
            e2e.wait_for(lambda: self.x.state(w) == "Iconic", 5, 0.02,
                         "the registration tool minimised")
        left = set(names)
        for w in wins:
            pid = int(self.s.run(["xdotool", "getwindowpid", str(w)]).decode())
            got = self.answer_one(w, [registered(n) for n in names])
            left.discard(got.split(" ")[2])
            e2e.wait_for(lambda: not os.path.exists(f"/proc/{pid}"), 5, 0.05,
                         "the registration tool to end on OK")
        check(not left, f"no report for {sorted(left)}")
        with open(self.out, encoding="utf-8") as f:
            lines = f.read().splitlines()
        for n in names:
            check(registered(n) in lines, f"the tool did not write its report for {n}")

    def answer_one(self, box, candidates):
        self.x.activate(box)
        e2e.wait_for(lambda: self.x.state(box) == "Normal", 3, 0.02, "the tool's box restored")
        got = e2e.wait_for(lambda: self.boxes.read(e2e.box_text(self.x, box), candidates),
                           3, 0.05, "the tool's report")
        self.x.activate(box)
        self.x.key("Return")
        self.x.wait_gone(box, 3)
        return got


def run(args):
    skip = e2e.check_tools(sound=False)
    if skip:
        return skip
    dist = os.path.abspath(args.dist)
    for f in PROGRAM + LIBRARIES:
        check(os.path.exists(os.path.join(dist, f)), f"{f} is not in {dist}: build it first")
    work = e2e.fresh_folder(args.work)
    all_boxes = [f(n) for n in LIBRARIES for f in (present, missing)]
    with e2e.Session(work) as s:
        s.start_display()
        x = e2e.X(s)
        inst = Installer(s, x, work)
        inst.dist = dist
        full = inst.folder("instalador", LIBRARIES)

        # 1. An empty system directory: both copied, a tool for each, no box of its own.
        system = os.path.join(work, "system")
        os.makedirs(system)
        inst.start(full, system)
        inst.press()
        inst.ended()
        for n in LIBRARIES:
            check(filecmp.cmp(os.path.join(full, n), os.path.join(system, n), shallow=False),
                  f"{n} was not copied whole")
        check(not x.windows("^Registrar archivos$"), "the installer showed a box")
        inst.answer_tools(LIBRARIES)
        print("empty system directory: both copied, both registered")

        # 2. Again: both there now; one box for each, in list order; nothing started.
        inst.start(full, system)
        inst.press()
        for n in LIBRARIES:
            inst.answer(present(n), read_as=all_boxes)
        inst.ended()
        time.sleep(0.5)  # a tool would have shown up by now
        check(not inst.tools(), "a registration tool started for a file already there")
        print("both present: two boxes, nothing copied")

        # 3. MP3.DLL not beside the installer: a box for it; MSVBVM50.DLL copied.
        partial = inst.folder("sin-mp3", ["MSVBVM50.DLL"])
        system2 = os.path.join(work, "system2")
        os.makedirs(system2)
        inst.start(partial, system2)
        inst.press()
        inst.answer(missing("MP3.DLL"), read_as=all_boxes)
        inst.ended()
        check(sorted(os.listdir(system2)) == ["MSVBVM50.DLL"],
              f"system directory holds {sorted(os.listdir(system2))}")
        inst.answer_tools(["MSVBVM50.DLL"])
        print("MP3.DLL missing: its box, the other copied and registered")

        # 4. Closed without a click: the program ends, nothing is touched.
        system3 = os.path.join(work, "system3")
        os.makedirs(system3)
        inst.start(full, system3)
        fx, fy, fw, fh = x.geometry(x.frame(inst.wid))
        x.click_at(fx + fw - 12, fy + 10)
        inst.ended()
        check(not os.listdir(system3), "closing touched the system directory")
        print("closed: nothing touched")
    return 0


if __name__ == "__main__":
    e2e.main_guard(lambda: run(e2e.arguments()))
