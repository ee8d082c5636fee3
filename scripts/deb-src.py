#!/usr/bin/env python3
"""Prints deb-src entries (deb822) for the Debian release this machine runs, made from
its own apt sources: the same URIs, suites (security updates too), components and
keyrings. Sources of other releases or vendors are left out."""
import glob, re, sys
codename = dict(l.rstrip("\n").split("=", 1) for l in open("/etc/os-release") if "=" in l)[
    "VERSION_CODENAME"].strip('"')
suite_ok = lambda s: s == codename or s.startswith(codename + "-") or s.startswith(codename + "/")
out = []
# deb822 files: one stanza per paragraph.
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for para in re.split(r"\n\s*\n", open(path).read()):
        fields = {}
        for line in para.splitlines():
            if line.startswith("#") or ":" not in line or line[0].isspace():
                continue
            key, value = line.split(":", 1)
            fields[key.strip().lower()] = value.strip()
        if "deb" not in fields.get("types", "").split() or fields.get("enabled", "yes") == "no":
            continue
        suites = [s for s in fields.get("suites", "").split() if suite_ok(s)]
        if not suites or not fields.get("uris"):
            continue
        entry = ["Types: deb-src", "URIs: " + fields["uris"], "Suites: " + " ".join(suites),
                 "Components: " + fields.get("components", "main")]
        if fields.get("signed-by"):
            entry.append("Signed-By: " + fields["signed-by"])
        out.append("\n".join(entry))
# One-line files: deb [options] URI suite components...
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        m = re.match(r"\s*deb\s+(\[([^\]]*)\]\s+)?(\S+)\s+(\S+)\s*(.*)", line)
        if not m or not suite_ok(m.group(4)):
            continue
        entry = ["Types: deb-src", "URIs: " + m.group(3), "Suites: " + m.group(4),
                 "Components: " + (m.group(5).strip() or "main")]
        signed = re.search(r"signed-by=(\S+)", m.group(2) or "")
        if signed:
            entry.append("Signed-By: " + signed.group(1))
        out.append("\n".join(entry))
print("\n\n".join(out))
