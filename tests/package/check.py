#!/usr/bin/python3
"""The Debian package, installed, used and removed for real (changes /usr: root or sudo).

  check.py --build BUILD-DEB --work DIR

Exit status: 0 passed, 1 failed.
"""
import argparse
import glob
import os
import re
import shlex
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib as e2e  # noqa: E402
from e2elib import check  # noqa: E402

SYSTEM = "/usr/lib/zampolo"
PLAY = (720, 120, 615, 615)  # the play button, twips


def out(*argv, **kw):
    return subprocess.run(argv, check=True, stdout=subprocess.PIPE, text=True, **kw).stdout


def apt(*argv):
    sudo = [] if os.geteuid() == 0 else ["sudo", "-E"]
    r = subprocess.run(sudo + ["apt-get", "-y", "-o", "DPkg::Lock::Timeout=300", *argv],
                       text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    check(r.returncode == 0, f"apt-get {' '.join(argv)} failed:\n{r.stdout}")


def known():  # installed, or removed but not purged
    r = subprocess.run(["dpkg-query", "-W", "-f=${db:Status-Abbrev}", "zampolo"],
                       capture_output=True, text=True)
    return r.stdout[:2] not in ("", "un")


def mapped(pid, *files):
    with open(f"/proc/{pid}/maps") as f:
        maps = f.read()
    return all(file in maps for file in files)


def menu_command(name):  # as a menu starts it: no file, so no field code
    with open(f"/usr/share/applications/{name}.desktop") as f:
        return [a for a in shlex.split(next(line[5:] for line in f if line.startswith("Exec=")))
                if a not in ("%f", "%F", "%u", "%U")]


def declared(deb, field):
    """The field's package names, each group of alternatives a list, without versions."""
    return [[a.split()[0] for a in g.split("|")]
            for g in out("dpkg-deb", "-f", deb, field).split(",") if g.strip()]


def owner(path):
    """The package that installed a file, whichever of its merged-/usr names dpkg knows."""
    real = os.path.realpath(path)
    for p in {path, real, real.replace("/usr/lib/", "/lib/", 1), path.replace("/lib/", "/usr/lib/", 1)}:
        r = subprocess.run(["dpkg-query", "-S", p], capture_output=True, text=True)
        if r.returncode == 0:
            return r.stdout.split(":")[0]
    return None


def resolved(deb, owned):
    """Installed, every program and library of the package finds each library it needs,
    and each one outside the package comes from a package it declares."""
    depends = {p for group in declared(deb, "Depends") for p in group}
    for f in owned:
        if not os.path.isfile(f) or open(f, "rb").read(4) != b"\x7fELF":
            continue
        found = dict(re.findall(r"^\s*(\S+) => (\S+)", out("ldd", f), re.M))
        needed = re.findall(r"\(NEEDED\).*\[(.+)\]", out("readelf", "-d", f))
        for lib in needed:
            check(found.get(lib, "not") != "not", f"{f} finds no {lib}")
            if found[lib] not in owned:
                check(owner(found[lib]) in depends, f"{f} needs {found[lib]}, from "
                      f"{owner(found[lib])}, which the package does not declare: {depends}")
    print("every library the package's files need is found and declared")


def contents(deb, build, work):
    """The package holds what `cmake --install` puts under /usr, owned by root."""
    listing = [line.split() for line in out("dpkg-deb", "-c", deb).splitlines()]
    for mode, owner, *_, path in listing:
        check(owner == "root/root" and mode in ("drwxr-xr-x", "-rwxr-xr-x", "-rw-r--r--"),
              f"{mode} {owner} {path}")
    files = {line[-1][1:] for line in listing if line[0][0] != "d"}
    stage = e2e.fresh_folder(os.path.join(work, "stage"))
    out("cmake", "--install", build, env=dict(os.environ, DESTDIR=stage))
    staged = {p[len(stage):] for p in glob.glob(stage + "/**", recursive=True)
              if os.path.isfile(p) and not p.endswith(e2e.MARK)}
    check(files == staged, f"package and install differ: {sorted(files ^ staged)}")
    want = {"/usr/bin/zampoplay", "/usr/bin/zampoinst", "/usr/share/doc/zampolo/copyright",
            "/usr/share/metainfo/es.zampolo.zampoplay.metainfo.xml"}
    want |= {f"{SYSTEM}/{n}" for n in ("MP3.DLL", "MSVBVM50.DLL", "libzampolo-platform.so",
                                        "REGSVR32.EXE")}
    check(want <= files, f"not in the package: {sorted(want - files)}")
    # Folders are offered to the player, never made its own by default.
    check(not [f for f in files if f.endswith("mimeapps.list")], "a mimeapps.list")
    # Every dependency and recommendation, as the package declares it, is one this
    # release offers.
    print("Depends: " + out("dpkg-deb", "-f", deb, "Depends").strip())
    for group in declared(deb, "Depends") + declared(deb, "Recommends"):
        check(any("Candidate: (none)" not in out("apt-cache", "policy", p) and
                  "Candidate:" in out("apt-cache", "policy", p) for p in group),
              f"no apt source offers {' | '.join(group)}")
    recommends = [r.split()[0] for r in out("dpkg-deb", "-f", deb, "Recommends").split(",")]
    check({"xdg-desktop-portal", "xdg-desktop-portal-gtk"} <= set(recommends),
          f"Recommends lacks the portal: {recommends}")
    # What software centres read: the AppStream data, with its desktop entry beside it
    # (offline: the web pages it names are not fetched).
    subprocess.run(["appstreamcli", "validate-tree", "--no-net", "--strict", stage + "/usr"],
                   check=True)
    subprocess.run(["desktop-file-validate", *glob.glob(stage + "/usr/share/applications/*")],
                   check=True)


def programs(work):
    """The player as its menu entry starts it: offscreen the loader maps the runtime
    and the platform; with a display, a song plays and LoadLibraryA binds MP3.DLL
    from the system directory compiled in (the installer relies on the same)."""
    with e2e.Session(work) as s:
        player = s.spawn("offscreen", menu_command("zampoplay"),
                         env=dict(s.env, QT_QPA_PLATFORM="offscreen"))
        # Qt's platform plugin comes once the program has made its QApplication.
        files = [f"{SYSTEM}/MSVBVM50.DLL", f"{SYSTEM}/libzampolo-platform.so", "/libqoffscreen.so"]
        e2e.wait_for(lambda: player.poll() is None and mapped(player.pid, *files), 10, 0.05,
                     "zampoplay to map " + ", ".join(files))
        print(f"zampoplay offscreen: MSVBVM50.DLL and the platform mapped from {SYSTEM}")
    if e2e.check_tools(sound=False):
        return print("no Xvfb: MP3.DLL not checked")
    folder = os.path.join(work, "canciones")
    os.makedirs(folder)
    e2e.make_song(os.path.join(folder, "Alba.mp3"), 440.0, 30.0)
    with e2e.Session(work) as s:
        s.start_display()
        x = e2e.X(s)
        player = s.spawn("zampoplay", menu_command("zampoplay"))
        wid = x.wait_window(r"^Zampolo 1\.0 - ")
        x.choose_folder(wid, folder)
        # A click that comes while the chooser's modal loop is still ending is lost; a
        # second one, once the song plays, meets a disabled button.
        e2e.wait_for(lambda: x.click_control(wid, *PLAY) and x.windows("^Alba.mp3$"), 10, 0.5,
                     "the song's name in the caption")
        e2e.wait_for(lambda: mapped(player.pid, f"{SYSTEM}/MP3.DLL"), 5, 0.05, "MP3.DLL bound")
        print(f"zampoplay playing: MP3.DLL bound from {SYSTEM}")


def run(args):
    work = e2e.fresh_folder(args.work)
    (deb,) = glob.glob(os.path.join(args.build, "zampolo_*.deb"))
    contents(deb, args.build, work)
    subprocess.run(["lintian", "--fail-on", "error,warning", deb], check=True)
    if known():  # left by an earlier run
        apt("purge", "zampolo")
    try:
        apt("install", os.path.abspath(deb))
        owned = [p for p in out("dpkg-query", "-L", "zampolo").split() if p != "/."]
        check(out("dpkg", "--verify", "zampolo") == "", "installed files differ")
        resolved(deb, owned)
        programs(work)
    finally:
        apt("remove", "zampolo")
    # Removed (not yet purged), only folders that other packages share may stay.
    left = [p for p in owned if os.path.lexists(p) and not (os.path.isdir(p) and subprocess.run(
        ["dpkg-query", "-S", p], capture_output=True).returncode == 0)]
    check(not left and not os.path.exists(SYSTEM), f"left behind: {left or SYSTEM}")
    for cache in ("/usr/share/icons/hicolor/icon-theme.cache",  # remade by the triggers
                  "/usr/share/applications/mimeinfo.cache"):
        check(not os.path.exists(cache) or b"zampo" not in open(cache, "rb").read(), cache)
    apt("purge", "zampolo")
    check(not known(), "dpkg still knows zampolo after the purge")
    print(f"package check passed: {deb}")
    return 0


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--work", required=True)
    e2e.main_guard(lambda: run(p.parse_args()))
