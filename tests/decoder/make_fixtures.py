#!/usr/bin/python3
"""Makes the decoder's test songs with sox and lame into DIR (idempotent).

  make_fixtures.py DIR

Each song is a tone of its own frequency. DIR/fixtures.txt lists one song a line:
name rate channels samples header, where samples is what sox made (the encoder's
input) and header tells whether the file starts with a Xing/Info frame.
"""
import os
import struct
import subprocess
import sys
import tempfile

# name, seconds, tone Hz, rate, channels, lame options, Xing/Info header
SONGS = [
    ("cbr44s", 2.0, 440, 44100, 2, ["-b", "128"], True),
    ("cbr44s_nohdr", 2.0, 470, 44100, 2, ["-b", "128", "-t"], False),
    ("vbr44s", 2.5, 523, 44100, 2, ["-V", "4"], True),
    ("vbr44s_nohdr", 2.5, 587, 44100, 2, ["-V", "4", "-t"], False),
    ("vbr48m", 1.5, 659, 48000, 1, ["-V", "5", "-m", "m", "--resample", "48"], True),
    ("vbr48m_nohdr", 1.5, 698, 48000, 1, ["-V", "5", "-m", "m", "--resample", "48", "-t"], False),
    ("cbr22m", 1.0, 784, 22050, 1, ["-b", "64", "-m", "m", "--resample", "22.05"], True),
    ("cbr22s_nohdr", 1.0, 830, 22050, 2, ["-b", "64", "--resample", "22.05", "-t"], False),
    ("cbr48s", 3.0, 880, 48000, 2, ["-b", "192", "--resample", "48"], True),
    ("long44s", 3.0, 988, 44100, 2, ["-b", "128"], True),
]


def make_song(dir, name, secs, tone, rate, channels, opts):
    wav = os.path.join(dir, name + ".wav")
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav,
                    "synth", str(secs), "sine", str(tone), "vol", "0.5"], check=True)
    subprocess.run(["lame", "--quiet", *opts, wav, os.path.join(dir, name + ".mp3")], check=True)
    os.remove(wav)
    return round(secs * rate)


def id3v2(title):
    frame = b"\x03" + title.encode("latin-1")
    body = b"TIT2" + struct.pack(">I", len(frame)) + b"\0\0" + frame + b"\0" * 300  # padding
    n = len(body)
    size = bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
    return b"ID3\x03\x00\x00" + size + body


def ape(title):
    item = struct.pack("<II", len(title), 0) + b"Title\0" + title.encode()
    size = len(item) + 32
    header = b"APETAGEX" + struct.pack("<IIII", 2000, size, 1, 0xA0000000) + b"\0" * 8
    footer = b"APETAGEX" + struct.pack("<IIII", 2000, size, 1, 0x80000000) + b"\0" * 8
    return header + item + footer


def id3v1(title):
    return b"TAG" + title.encode().ljust(30, b"\0") + b"\0" * 94 + b"\xff"


def main():
    dir = sys.argv[1]
    index = os.path.join(dir, "fixtures.txt")
    if os.path.exists(index):
        return
    os.makedirs(dir, exist_ok=True)
    tmp = tempfile.mkdtemp(dir=dir)
    lines = []
    for name, secs, tone, rate, channels, opts, header in SONGS:
        samples = make_song(tmp, name, secs, tone, rate, channels, opts)
        lines.append(f"{name} {rate} {channels} {samples} {int(header)}")
    # The same audio as cbr44s inside every kind of tag.
    with open(os.path.join(tmp, "cbr44s.mp3"), "rb") as f:
        audio = f.read()
    with open(os.path.join(tmp, "tagged.mp3"), "wb") as f:
        f.write(id3v2("Canción") + id3v2("Otra") + audio + ape("Canción") + id3v1("Cancion"))
    for entry in os.listdir(tmp):
        os.replace(os.path.join(tmp, entry), os.path.join(dir, entry))
    os.rmdir(tmp)
    with open(index + ".part", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(index + ".part", index)  # last: its presence means the set is complete


if __name__ == "__main__":
    main()
