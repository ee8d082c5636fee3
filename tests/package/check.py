#!/usr/bin/python3
"""The Debian package, installed and removed for real (root; changes /usr).

  check.py --build BUILD-DEB --work DIR

Checks the package in BUILD-DEB against what `cmake --install` puts there, its
dependencies, lintian, then installs it with apt-get (purging an earlier one
first) and starts the programs as the menu entries do: zampoplay offscreen must
map the runtime and the platform from the system directory; in a private X
display it must bind MP3.DLL from there when a song plays, and zampoinst must
report both libraries as present. Then remove and purge, and nothing may stay.
"""
import argparse
import glob
import os
import shlex
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib as e2e  # noqa: E402
from e2elib import check  # noqa: E402

SYSTEM = "/usr/lib/zampolo"
PLAY = (720, 120, 615, 615)  # the player's controls, in twips
FOLDER = (120, 120, 615, 615)
INSTALL = (3240, 2160, 2415, 1455)  # the installer's one button
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]


def out(*argv, **kw):
    return subprocess.run(argv, check=True, stdout=subprocess.PIPE, text=True, **kw).stdout


def installed():
    r = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "zampolo"], capture_output=True,
                       text=True)
    return "installed" in r.stdout or "config-files" in r.stdout


def mapped(pid, *files):
    with open(f"/proc/{pid}/maps") as f:
        maps = f.read()
    return all(os.path.join(SYSTEM, name) in maps for name in files)


def apt(*argv):
    r = subprocess.run(APT + list(argv), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       text=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    check(r.returncode == 0, f"apt-get {' '.join(argv)} failed:\n{r.stdout}")


def menu_command(name):
    """The command line of an installed desktop entry."""
    with open(f"/usr/share/applications/{name}.desktop") as f:
        return shlex.split(next(line[5:] for line in f if line.startswith("Exec=")))


def contents(deb, build, work):
    listing = out("dpkg-deb", "-c", deb).splitlines()
    files = {line.split()[-1][1:] for line in listing if not line.startswith("d")}
    for line in listing:
        check(line.split()[1] == "root/root", f"not owned by root: {line}")
        check(line.split()[0] in ("drwxr-xr-x", "-rwxr-xr-x", "-rw-r--r--"), f"mode: {line}")
    stage = e2e.fresh_folder(os.path.join(work, "stage"))
    out("cmake", "--install", build, env=dict(os.environ, DESTDIR=stage))
    staged = {p[len(stage):] for p in glob.glob(stage + "/**", recursive=True)
              if os.path.isfile(p) and not p.endswith(e2e.MARK)}
    check(files == staged, f"package and install differ: {sorted(files ^ staged)}")
    for f in ["/usr/bin/zampoplay", "/usr/bin/zampoinst", "/usr/share/doc/zampolo/copyright"] + [
            f"{SYSTEM}/{n}" for n in ("MP3.DLL", "MSVBVM50.DLL", "libzampolo-platform.so",
                                      "REGSVR32.EXE")]:
        check(f in files, f"{f} is not in the package")
    depends = out("dpkg-deb", "-f", deb, "Depends")
    for lib in ("libqt6widgets6 (>=", "libmpg123-0 (>=", "libout123-0 (>=", "libc6 (>="):
        check(lib in depends, f"Depends lacks {lib}: {depends}")


def programs(work):
    with e2e.Session(work) as s:
        player = s.spawn("offscreen", menu_command("zampoplay"),
                         env=dict(s.env, QT_QPA_PLATFORM="offscreen"))
        e2e.wait_for(lambda: player.poll() is None and mapped(player.pid, "MSVBVM50.DLL",
                                                               "libzampolo-platform.so"),
                     10, 0.05, "zampoplay to map its libraries from " + SYSTEM)
        print("zampoplay, offscreen, mapped MSVBVM50.DLL and the platform from " + SYSTEM)
    if e2e.check_tools(sound=False):
        return print("no X display to play in: MP3.DLL and zampoinst not checked")
    folder = os.path.join(work, "canciones")
    os.makedirs(folder)
    e2e.make_song(os.path.join(folder, "Alba.mp3"), 440.0, 30.0)
    with e2e.Session(work) as s:
        s.start_display()
        x = e2e.X(s)
        player = s.spawn("zampoplay", menu_command("zampoplay"))
        wid = x.wait_window(r"^Zampolo 1\.0 - ")
        x.click_control(wid, *FOLDER)
        dlg = x.wait_window("^Selecciona la carpeta$")
        x.activate(dlg)
        x.type(folder)
        x.key("Return")
        try:
            x.wait_gone(dlg, 2)
        except e2e.Failure:
            x.key("Return")  # the first Return only went into the folder
            x.wait_gone(dlg, 3)
        x.click_control(wid, *PLAY)
        x.wait_window("^Alba.mp3$")  # the caption names the song that plays
        e2e.wait_for(lambda: mapped(player.pid, "MP3.DLL"), 5, 0.05, "MP3.DLL from " + SYSTEM)
        print("zampoplay, playing, bound MP3.DLL from " + SYSTEM)

        installer = s.spawn("zampoinst", menu_command("zampoinst"))
        x.click_control(x.wait_window("^REGISTRAR ARCHIVOS - "), *INSTALL)
        reader = e2e.box_reader()
        for name in ("MP3.DLL", "MSVBVM50.DLL"):
            box = x.wait_window("^Registrar archivos$")
            present, missing = (f"el archivo {name} {t}" for t in ("ya se encontraba en SYSTEM",
                                                                   "No lo encuentro"))
            img = e2e.wait_for(lambda: e2e.box_text(x, box), 3, 0.05, "the box's text")
            check(reader.read(img, [present, missing]) == present, f"{name} not reported present")
            x.activate(box)
            x.key("Return")
            x.wait_gone(box, 3)
        check(installer.wait(10) == 0, "zampoinst did not end well")
        print("zampoinst reported both libraries as present")


def run(args):
    work = e2e.fresh_folder(args.work)
    (deb,) = glob.glob(os.path.join(args.build, "zampolo_*.deb"))
    contents(deb, args.build, work)
    subprocess.run(["lintian", "--fail-on", "error,warning", deb], check=True)
    if installed():
        apt("purge", "zampolo")
    try:
        apt("install", os.path.abspath(deb))
        owned = [p for p in out("dpkg-query", "-L", "zampolo").split() if p != "/."]
        check(out("dpkg", "--verify", "zampolo") == "", "installed files differ")
        for entry in ("zampoplay", "zampoinst"):
            out("desktop-file-validate", f"/usr/share/applications/{entry}.desktop")
        programs(work)
        check(out("dpkg", "--verify", "zampolo") == "", "the installer changed installed files")
    finally:
        apt("remove", "zampolo")
        apt("purge", "zampolo")
    check(not installed(), "zampolo is still known to dpkg")
    # Only folders that other packages share may stay.
    left = [p for p in owned if os.path.lexists(p) and not (
        os.path.isdir(p) and subprocess.run(["dpkg-query", "-S", p], capture_output=True)
        .returncode == 0)]
    check(not left and not os.path.exists(SYSTEM), f"left behind: {left or SYSTEM}")
    print(f"package check passed: {os.path.basename(deb)}")
    return 0


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--work", required=True)
    e2e.main_guard(lambda: run(p.parse_args()))
