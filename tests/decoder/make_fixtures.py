#!/usr/bin/python3
"""Makes the decoder's test songs with sox, lame, ffmpeg and twolame into DIR
(idempotent).

  make_fixtures.py DIR

Each song is a tone of its own frequency. DIR/fixtures.txt lists one song a line:
name rate channels samples header, where samples is what sox made (the encoder's
input) and header tells whether the file starts with a Xing/Info frame.

DIR/corpus.txt names the files as people have them, one a line: songs joined end to
end, free format, a change of format inside a file, large tags, leading junk. They
are only ever compared with libmpg123's own decode.

DIR/rules.txt names, one a line with what it holds, files named .mp3 that are no MPEG
audio ("none") and songs damaged as downloads and disks damage them: with nothing in
their gaps ("song") or with junk there that libmpg123 might take for frames ("junk").
"""
import os
import random
import shutil
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


# The corpus: tones (name, seconds, Hz, rate, channels), their encodings (output,
# command), then the files made of those.
TONES = [("t44", 1.0, 392, 44100, 2), ("t44b", 1.3, 494, 44100, 2), ("t22", 0.8, 587, 22050, 1),
         ("t48", 0.9, 740, 48000, 2)]
FF = "ffmpeg -nostdin -v error -y -i t44b.wav"
ENCODINGS = [
    ("cbr.mp3", "lame -b 128 t44.wav"), ("vbr.mp3", "lame -V 4 t44b.wav"),
    ("cbr_t.mp3", "lame -b 128 -t t44.wav"), ("vbr_t.mp3", "lame -V 4 -t t44b.wav"),
    ("m22.mp3", "lame -b 48 -m m t22.wav"), ("s48.mp3", "lame -b 160 t48.wav"),
    ("tagged.mp3", "lame -V 3 --tt Canción --ti cover.png --add-id3v2 t44b.wav"),
    ("free_lame.mp3", "lame --freeformat -b 200 t44b.wav"),
    ("free_twolame.mp2", "twolame --freeformat -b 200 t48.wav"),
    ("twolame.mp2", "twolame -b 192 t48.wav"), ("lavc.mp3", FF + " -c:a libmp3lame -q:a 2"),
    ("sox.mp3", "sox t48.wav"),
] + [(f"id3v2{v}_cover.mp3", FF + " -i cover.png -map 0 -map 1 -c:a libmp3lame -b:a 160k "
      f"-c:v copy -id3v2_version {v} -write_id3v1 1 -metadata title=Canción") for v in "34"]
JOINED = {"joined_headers.mp3": ["cbr.mp3", "vbr.mp3", "cbr.mp3"],
          "joined_noheaders.mp3": ["cbr_t.mp3", "vbr_t.mp3"],
          "joined_mixed.mp3": ["vbr_t.mp3", "cbr.mp3", "lavc.mp3"],
          "joined_rates.mp3": ["cbr.mp3", "m22.mp3", "s48.mp3", "vbr.mp3"],
          "joined_tagged.mp3": ["tagged.mp3", "tagged.mp3"]}
KEPT = ["free_lame.mp3", "free_twolame.mp2", "twolame.mp2", "sox.mp3", "id3v23_cover.mp3",
        "id3v24_cover.mp3"]


def corpus(dir):
    """Makes the corpus in dir; returns the file names."""
    def run(command, *more):
        quiet = ["--quiet"] if command.startswith(("lame", "twolame")) else []
        argv = command.split()
        subprocess.run(argv[:1] + quiet + argv[1:] + list(more), check=True, cwd=dir,
                       stdin=subprocess.DEVNULL)

    def read(name):
        with open(os.path.join(dir, name), "rb") as f:
            return f.read()

    # A cover of noise: large, and full of bytes that look like frame headers.
    run("ffmpeg -nostdin -v error -f lavfi -i nullsrc=s=400x400,geq=r=random(1)*255:"
        "g=random(2)*255:b=random(3)*255 -frames:v 1 cover.png")
    for name, secs, freq, rate, channels in TONES:
        run(f"sox -n -r {rate} -c {channels} -b 16 {name}.wav synth {secs} sine {freq} vol 0.5")
    for name, command in ENCODINGS:
        run(command, name)
    made = dict((name, b"".join(map(read, parts))) for name, parts in JOINED.items())
    made["tail_tags.mp3"] = read("cbr.mp3") + ape("Canción") + id3v1("Cancion")
    # APE tags as careless taggers write them: a lone header, a lone footer, counts
    # that do not add up. The Info header's gapless trim must hold all the same.
    header, items, footer = ape("Canción", parts=True)
    bad = footer[:12] + struct.pack("<III", len(items) + 132, 3, 0) + footer[24:]  # no header
    made["tail_ape_header.mp3"] = read("cbr.mp3") + header + id3v1("Cancion")
    made["tail_ape_footer.mp3"] = read("cbr.mp3") + items + footer + id3v1("Cancion")
    made["tail_ape_counts.mp3"] = read("cbr.mp3") + items + bad + id3v1("Cancion")
    junk = bytes((i * 7919 + (i >> 5) * 31) & 0xFF for i in range(6000))
    made["leading_junk.mp3"] = junk + read("cbr.mp3")
    for name, data in made.items():
        with open(os.path.join(dir, name), "wb") as f:
            f.write(data)
    for entry in os.listdir(dir):
        if entry not in made and entry not in KEPT:
            os.remove(os.path.join(dir, entry))
    return sorted(list(made) + KEPT)


def rules(dir):
    """Makes the files of rules.txt in dir; returns their lines."""
    def sh(command):
        subprocess.run(command, shell=True, check=True, cwd=dir, stdin=subprocess.DEVNULL)

    sh("sox -n -r 44100 -c 2 -b 16 music.wav synth 20 pinknoise vol 0.3 "
       "synth 20 sine amod 0.3 30 fade 0 20 5")
    sh("sox -n -r 44100 -c 2 -b 16 quiet.wav synth 5 sine 440 vol 0.001")
    ff = "ffmpeg -nostdin -v error -y"
    none = {"wav16": "cp music.wav", "wav24": "sox music.wav -b 24 -t wav",
            "wav22m": "sox music.wav -r 22050 -c 1 -t wav", "quiet_wav": "cp quiet.wav",
            "aiff": "sox music.wav -t aiff", "quiet_aiff": "sox quiet.wav -t aiff",
            "flac": "sox music.wav -t flac",
            "ogg": f"{ff} -i music.wav -c:a libvorbis -f ogg",
            "opus": f"{ff} -i music.wav -c:a libopus -f ogg",
            "adts": f"{ff} -i music.wav -c:a aac -f adts",
            "m4a": f"{ff} -i music.wav -c:a aac -f mp4",
            "png": f"{ff} -f lavfi -i testsrc=s=320x240 -frames:v 1 -c:v png -f image2",
            "jpeg": f"{ff} -f lavfi -i testsrc=s=320x240 -frames:v 1 -c:v mjpeg -f image2",
            "font": "cp /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
            "program": "cp /bin/ls", "archive": "sh -c 'gzip -c music.wav > \"$0\"'"}
    for name, command in none.items():
        sh(f"{command} {name}.mp3")
    lines = [f"{name}.mp3 none" for name in none]
    noise = random.Random(1)
    made = {"random.mp3": noise.randbytes(1 << 20), "zeros.mp3": bytes(500000),
            "text.mp3": ("Canción de prueba, no es audio.\n" * 2000).encode()}
    sh("lame --quiet -V 2 music.wav vbr.mp3")
    sh("lame --quiet -b 128 music.wav cbr.mp3")
    sh(f"{ff} -i music.wav -c:a libmp3lame -b:a 128k -f wav riff.mp3")  # MPEG in a RIFF wrapper
    lines.append("riff.mp3 song")
    for kind in ("vbr", "cbr"):
        with open(os.path.join(dir, kind + ".mp3"), "rb") as f:
            song = f.read()
        n = len(song)
        made[f"{kind}_cut.mp3"] = song[:n * 6 // 10]  # a download cut short
        made[f"{kind}_zeros_tail.mp3"] = song[:n // 3] + bytes(n - n // 3)  # never finished
        a, b = n * 4 // 10, n * 6 // 10  # four seconds of a bad stretch of disk
        made[f"{kind}_zeros_inside.mp3"] = song[:a] + bytes(b - a) + song[b:]
        made[f"{kind}_garbage_inside.mp3"] = song[:a] + noise.randbytes(b - a) + song[b:]
    # Files that name another format in their first bytes (after an ID3v2 tag, too),
    # whatever follows: here MPEG frames, as chance sync words in quiet samples may be.
    pcm_wave = b"RIFF\0\0\0\0WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4,
                                                       16) + b"data\0\0\0\0"
    named = {"named_aiff.mp3": b"FORM\0\0\0\0AIFFCOMM", "named_flac.mp3": b"fLaC\0\0\0\x22",
             "named_ogg.mp3": b"OggS\0\2", "named_mp4.mp3": b"\0\0\0\x20ftypM4A \0\0\0\0",
             "named_wavpack.mp3": b"wvpk", "named_ape.mp3": b"MAC \x96\x0f",
             "named_wav.mp3": pcm_wave, "named_id3_aiff.mp3": id3v2("x") + b"FORM\0\0\0\0AIFC"}
    made.update((name, magic + bytes(100) + song[:n // 5]) for name, magic in named.items())
    for name, data in made.items():
        with open(os.path.join(dir, name), "wb") as f:
            f.write(data)
        if name not in ("random.mp3", "zeros.mp3", "text.mp3") and name not in named:
            lines.append(f"{name} {'junk' if 'garbage' in name else 'song'}")
    lines += [f"{name} none" for name in ("random.mp3", "zeros.mp3", "text.mp3", *named)]
    for entry in ("music.wav", "quiet.wav", "vbr.mp3", "cbr.mp3"):
        os.remove(os.path.join(dir, entry))
    return lines


def id3v2(title):
    frame = b"\x03" + title.encode("latin-1")
    body = b"TIT2" + struct.pack(">I", len(frame)) + b"\0\0" + frame + b"\0" * 300  # padding
    n = len(body)
    size = bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
    return b"ID3\x03\x00\x00" + size + body


def ape(title, parts=False):
    item = struct.pack("<II", len(title.encode()), 0) + b"Title\0" + title.encode()
    size = len(item) + 32
    header = b"APETAGEX" + struct.pack("<IIII", 2000, size, 1, 0xA0000000) + b"\0" * 8
    footer = b"APETAGEX" + struct.pack("<IIII", 2000, size, 1, 0x80000000) + b"\0" * 8
    return (header, item, footer) if parts else header + item + footer


def id3v1(title):
    return b"TAG" + title.encode().ljust(30, b"\0") + b"\0" * 94 + b"\xff"


def main():
    dir = sys.argv[1]
    index = os.path.join(dir, "fixtures.txt")
    rules_index = os.path.join(dir, "rules.txt")
    if (not os.path.exists(rules_index) or  # or made by an older version of this script
            os.path.getmtime(rules_index) < os.path.getmtime(os.path.abspath(__file__))):
        shutil.rmtree(os.path.join(dir, "rules"), ignore_errors=True)
        tmp = tempfile.mkdtemp(dir=os.path.dirname(os.path.abspath(dir)))
        lines = rules(tmp)
        os.makedirs(dir, exist_ok=True)
        os.replace(tmp, os.path.join(dir, "rules"))
        with open(rules_index, "w") as f:
            f.write("\n".join(lines) + "\n")
    corpus_index = os.path.join(dir, "corpus.txt")
    if (os.path.exists(index) and os.path.exists(corpus_index) and  # and made by this version
            os.path.getmtime(corpus_index) >= os.path.getmtime(os.path.abspath(__file__))):
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
    files = corpus(tmp)
    os.makedirs(os.path.join(dir, "corpus"), exist_ok=True)
    for entry in files:
        os.replace(os.path.join(tmp, entry), os.path.join(dir, "corpus", entry))
    os.rmdir(tmp)
    with open(os.path.join(dir, "corpus.txt"), "w") as f:
        f.write("\n".join(files) + "\n")
    with open(index + ".part", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(index + ".part", index)  # last: its presence means the set is complete


if __name__ == "__main__":
    main()
