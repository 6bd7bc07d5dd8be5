#!/usr/bin/python3
"""Makes the interop corpus: MP3 files tagged by independent tag writers
(ffmpeg, mutagen, eyeD3, kid3-cli, id3v2) with the texts our users hold,
and manifest.json telling, for each file, what the title, artist and album
must read after a conversion.

Usage: corpus.py OUTDIR

The same Debian packages give the same files: the audio and the cover are
made from fixed inputs, and nothing depends on the clock.
"""
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

# Texts that matter to users of Japanese car stereos: (title, artist, album).
TEXTS = {
    "hiragana": ("ひらがなのうた", "あいうえお", "さくらのうた"),
    "katakana": ("カタカナ・ソング", "アーティスト", "ベスト・アルバム"),
    "kanji": ("漢字の曲名", "山田太郎", "髙橋の歌集"),
    "halfwidth": ("ﾊﾝｶｸ ｶﾀｶﾅ", "ｱｰﾃｨｽﾄ", "ｱﾙﾊﾞﾑ"),
    "wavedash": ("朝〜夜", "A～B", "−5度"),
    "yen": ("¥100の歌", "円 ¥", "Yen ¥ Album"),
    "accented": ("Café Olé", "Beyoncé & Björk", "Señor Naïve à la Crème"),
    "emoji": ("Song 🎵", "絵文字😀", "Emoji Album"),
    "long": ("長い曲名" * 70, "Long Artist", "Long Album"),
    "ascii": ("Plain Title", "Plain Artist", "Plain Album"),
}
TARGETS = ("TIT2", "TPE1", "TALB")


def run(args, **kwargs):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, **kwargs)


def make_base_mp3(path):
    # One second of a sine tone, without any tag; bit-exact so the same
    # ffmpeg gives the same bytes.
    run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         "sine=frequency=440:duration=1:sample_rate=44100", "-ac", "1", "-c:a", "libmp3lame",
         "-b:a", "64k", "-fflags", "+bitexact", "-flags:a", "+bitexact", "-write_xing", "0",
         "-id3v2_version", "0", path])


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def make_cover_png(path):
    # Noise does not compress: a 100 x 80 picture stays above 20 KB, the size
    # of the covers real files carry.
    noise = random.Random(6)
    rows = b"".join(b"\0" + bytes(noise.randrange(256) for _ in range(300)) for _ in range(80))
    png = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 100, 80, 8, 2, 0, 0, 0))
           + png_chunk(b"IDAT", zlib.compress(rows, 9)) + png_chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)
    assert len(png) >= 20 * 1024


class Corpus:
    def __init__(self, outdir, base, cover):
        self.outdir = outdir
        self.base = base
        self.cover = cover
        self.entries = []

    def path(self, name):
        return os.path.join(self.outdir, name)

    def fresh(self, name):
        shutil.copyfile(self.base, self.path(name))
        return self.path(name)

    def add(self, name, writer, values, raw=None, all_frames=False):
        """values: the texts each target frame must hold afterwards, as a
        list of values; raw: target frames whose bytes are kept as written;
        all_frames: a file for --all-frames, texts in many kinds of frame."""
        entry = {"name": name, "writer": writer,
                 "values": {frame: list(v) for frame, v in values.items()}}
        if raw:
            entry["raw"] = {frame: data.hex() for frame, data in raw.items()}
        if all_frames:
            entry["all_frames"] = True
        self.entries.append(entry)


def single(texts):
    return dict(zip(TARGETS, ([t] for t in texts)))


def ffmpeg_files(corpus):
    for version in (3, 4):
        for key, texts in TEXTS.items():
            name = f"ffmpeg-v2{version}-{key}.mp3"
            args = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                    "-i", corpus.base]
            with_cover = key == "kanji"
            if with_cover:
                args += ["-i", corpus.cover, "-map", "0:a", "-map", "1:v",
                         "-disposition:v", "attached_pic", "-metadata:s:v", "title=表紙",
                         "-metadata:s:v", "comment=Cover (front)"]
            args += ["-c", "copy", "-fflags", "+bitexact", "-id3v2_version", str(version),
                     "-metadata", f"title={texts[0]}", "-metadata", f"artist={texts[1]}",
                     "-metadata", f"album={texts[2]}", "-metadata", "comment=コメント",
                     "-metadata", "genre=J-Pop"]
            if key in ("hiragana", "ascii"):
                args += ["-write_id3v1", "1"]
            run(args + [corpus.path(name)])
            corpus.add(name, "ffmpeg", single(texts))


def mutagen_files(corpus):
    from mutagen.id3 import APIC, COMM, ID3, TALB, TCON, TIT2, TPE1, TXXX

    def save(name, version, encoding, key, padding=1024, extras=()):
        texts = TEXTS[key]
        tags = ID3()
        tags.add(TIT2(encoding=encoding, text=[texts[0]]))
        tags.add(TPE1(encoding=encoding, text=[texts[1]]))
        tags.add(TALB(encoding=encoding, text=[texts[2]]))
        for frame in extras:
            tags.add(frame)
        tags.save(corpus.fresh(name), v2_version=version, padding=lambda info: padding)
        corpus.add(name, "mutagen", single(texts))

    # Encodings, versions and padding of several sizes, none included.
    save("mutagen-v24-utf8-hiragana.mp3", 4, 3, "hiragana")
    save("mutagen-v24-utf8-emoji.mp3", 4, 3, "emoji", padding=0)
    save("mutagen-v24-utf16-katakana.mp3", 4, 1, "katakana", padding=10)
    save("mutagen-v24-utf16be-wavedash.mp3", 4, 2, "wavedash", padding=25)
    save("mutagen-v23-utf16-kanji.mp3", 3, 1, "kanji", padding=5000)
    save("mutagen-v23-utf16-long.mp3", 3, 1, "long")
    save("mutagen-v24-utf8-long.mp3", 4, 3, "long", padding=3)
    for key in ("halfwidth", "yen", "accented"):
        save(f"mutagen-v24-utf8-{key}.mp3", 4, 3, key)
    # Single-byte ASCII is kept byte for byte, its terminator dropped.
    save("mutagen-v23-latin1-ascii.mp3", 3, 0, "ascii", padding=100)

    # A file as a tagger leaves it: cover, comments, user texts, genre.
    with open(corpus.cover, "rb") as f:
        picture = f.read()
    extras = (APIC(encoding=1, mime="image/png", type=3, desc="表紙", data=picture),
              COMM(encoding=1, lang="jpn", desc="", text=["いい曲"]),
              COMM(encoding=3, lang="eng", desc="note", text=["second comment"]),
              TXXX(encoding=3, desc="MOOD", text=["しっとり"]),
              TXXX(encoding=1, desc="カタログ番号", text=["ABC-123"]),
              TCON(encoding=3, text=["J-Pop"]))
    save("mutagen-v24-full.mp3", 4, 3, "kanji", padding=2048, extras=extras)
    save("mutagen-v23-full.mp3", 3, 1, "kanji", padding=2048, extras=extras)

    # Several artists in one frame: version 4 keeps them as separate values,
    # which the conversion joins with one zero byte; mutagen joins them with
    # "/" for version 3.
    artists = ["初音ミク", "鏡音リン", "Guest"]
    for name, version, encoding, values in (
            ("mutagen-v24-utf8-artists.mp3", 4, 3, artists),
            ("mutagen-v24-utf16-artists.mp3", 4, 1, artists),
            ("mutagen-v23-utf16-artists.mp3", 3, 1, ["/".join(artists)])):
        tags = ID3()
        tags.add(TIT2(encoding=encoding, text=["デュエット"]))
        tags.add(TPE1(encoding=encoding, text=artists))
        tags.add(TALB(encoding=encoding, text=["コラボ集"]))
        tags.save(corpus.fresh(name), v2_version=version)
        corpus.add(name, "mutagen", {"TIT2": ["デュエット"], "TPE1": values, "TALB": ["コラボ集"]})


def eyed3_files(corpus):
    cases = (("v23-utf16", ["--to-v2.3", "--encoding", "utf16"], "hiragana"),
             ("v23-utf16-ascii", ["--to-v2.3", "--encoding", "utf16"], "ascii"),
             ("v24-utf8", ["--to-v2.4", "--encoding", "utf8"], "kanji"),
             ("v24-utf16", ["--to-v2.4", "--encoding", "utf16"], "halfwidth"),
             ("v24-utf16be", ["--to-v2.4", "--encoding", "utf16-be"], "wavedash"),
             ("v24-utf8-emoji", ["--to-v2.4", "--encoding", "utf8"], "emoji"),
             ("v23-utf16-cover", ["--to-v2.3", "--encoding", "utf16",
                                  "--add-image", corpus.cover + ":FRONT_COVER:表紙"], "katakana"),
             ("v24-utf8-comment", ["--to-v2.4", "--encoding", "utf8", "-c", "コメント",
                                   "--user-text-frame", "MOOD:しっとり"], "yen"))
    for suffix, options, key in cases:
        name = f"eyed3-{suffix}.mp3"
        texts = TEXTS[key]
        run(["eyeD3", "--no-color", "-Q", *options, "-t", texts[0], "-a", texts[1], "-A", texts[2],
             corpus.fresh(name)])
        corpus.add(name, "eyeD3", single(texts))
    # Latin-1 only takes Latin-1 text (Japanese makes eyeD3 fail); single-byte
    # bytes are kept as they are, é stays E9.
    name = "eyed3-v23-latin1.mp3"
    texts = TEXTS["accented"]
    run(["eyeD3", "--no-color", "-Q", "--to-v2.3", "--encoding", "latin1", "-t", texts[0],
         "-a", texts[1], "-A", texts[2], corpus.fresh(name)])
    corpus.add(name, "eyeD3", single(texts),
               raw={frame: text.encode("latin-1") for frame, text in zip(TARGETS, texts)})


def all_frames_files(corpus, scratch):
    """Texts in every kind of frame that holds them, in UTF-16 and UTF-8, for
    --all-frames."""
    from mutagen.id3 import (APIC, COMM, GEOB, ID3, SYLT, TALB, TIPL, TIT2, TPE1, TXXX, USER,
                             USLT, WXXX)
    with open(corpus.cover, "rb") as f:
        picture = f.read()
    texts = TEXTS["kanji"]
    for version, encoding, label in ((3, 1, "utf16"), (4, 1, "utf16"), (4, 2, "utf16be"),
                                     (4, 3, "utf8")):
        name = f"mutagen-v2{version}-{label}-all-frames.mp3"
        tags = ID3()
        tags.add(TIT2(encoding=encoding, text=[texts[0]]))
        tags.add(TPE1(encoding=encoding, text=[texts[1]]))
        tags.add(TALB(encoding=encoding, text=[texts[2]]))
        tags.add(COMM(encoding=encoding, lang="jpn", desc="説明", text=["朝〜夜のコメント"]))
        tags.add(USLT(encoding=encoding, lang="jpn", desc="歌詞", text="一行目\n二行目 ¥"))
        tags.add(TXXX(encoding=encoding, desc="気分", text=["しっとり"]))
        tags.add(APIC(encoding=encoding, mime="image/png", type=3, desc="表紙", data=picture))
        tags.add(SYLT(encoding=encoding, lang="jpn", format=2, type=1, desc="同期歌詞",
                      text=[("さくら", 0), ("さくら 🎵", 1500)]))
        tags.add(WXXX(encoding=encoding, desc="公式サイト", url="http://example.com/a?b=1"))
        # Version 3 keeps the people as IPLS.
        tags.add(TIPL(encoding=encoding, people=[["作曲", "山田太郎"], ["編曲", "髙橋"]]))
        tags.add(GEOB(encoding=encoding, mime="text/plain", filename="歌詞.txt", desc="歌詞ファイル",
                      data="歌詞".encode("utf-8") + b"\0\xff\xfe"))
        tags.add(USER(encoding=encoding, lang="jpn", text="利用条件"))
        tags.save(corpus.fresh(name), v2_version=version, padding=lambda info: 512)
        corpus.add(name, "mutagen", single(texts), all_frames=True)

    lyrics = os.path.join(scratch, "lyrics.txt")
    with open(lyrics, "w", encoding="utf-8") as f:
        f.write("一行目\n二行目")
    texts = TEXTS["hiragana"]
    for version, encoding in (("2.3", "utf16"), ("2.4", "utf8"), ("2.4", "utf16")):
        name = f"eyed3-v{version.replace('.', '')}-{encoding}-all-frames.mp3"
        run(["eyeD3", "--no-color", "-Q", f"--to-v{version}", "--encoding", encoding,
             "-t", texts[0], "-a", texts[1], "-A", texts[2],
             "--add-comment", "朝〜夜のコメント:説明:jpn",
             "--add-lyrics", f"{lyrics}:歌詞:jpn",
             "--user-text-frame", "気分:しっとり",
             "--user-url-frame", "公式サイト:http\\://example.com/",
             "--add-image", corpus.cover + ":FRONT_COVER:表紙",
             # eyeD3 writes the people list of version 4 only.
             *(["--text-frame", "TIPL:作曲"] if version == "2.4" else []),
             corpus.fresh(name)])
        corpus.add(name, "eyeD3", single(texts), all_frames=True)


def kid3_files(corpus, scratch):
    # kid3-cli keeps its settings under the user's home: give it its own.
    home = os.path.join(scratch, "kid3-home")
    os.makedirs(home, exist_ok=True)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               QT_QPA_PLATFORM="offscreen")
    for key in ("hiragana", "wavedash", "ascii", "accented"):
        name = f"kid3-v23-{key}.mp3"
        texts = TEXTS[key]
        commands = [f"set title '{texts[0]}'", f"set artist '{texts[1]}'",
                    f"set album '{texts[2]}'", "set comment 'コメント'"]
        if key == "hiragana":
            commands.append(f"set picture:'{corpus.cover}' '表紙'")
        if key == "ascii":
            commands.append("set title 'Plain Title' 1")  # an ID3v1 tag at the end too
        args = ["kid3-cli"]
        for command in commands + ["save"]:
            args += ["-c", command]
        run(args + [corpus.fresh(name)], env=env)
        corpus.add(name, "kid3-cli", single(texts))


def id3v2_files(corpus):
    # id3v2 turns arguments that are UTF-8 in a UTF-8 locale into UTF-16;
    # other bytes, such as code page 932 as a Japanese system hands them
    # over, it writes as single-byte text, which a conversion keeps as it is.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    for key, v1 in (("kanji", False), ("katakana", True), ("ascii", True)):
        name = f"id3v2-cp932-{key}{'-v1' if v1 else ''}.mp3"
        texts = TEXTS[key]
        encoded = [t.encode("cp932") for t in texts]
        args = ["id3v2"] + ([] if v1 else ["-2"])
        args += [b"-t", encoded[0], b"-a", encoded[1], b"-A", encoded[2]]
        run(args + [corpus.fresh(name)], env=env)
        corpus.add(name, "id3v2", single(texts), raw=dict(zip(TARGETS, encoded)))
    name = "id3v2-unicode-hiragana.mp3"
    texts = TEXTS["hiragana"]
    run(["id3v2", "-2", "-t", texts[0], "-a", texts[1], "-A", texts[2], corpus.fresh(name)],
        env=env)
    corpus.add(name, "id3v2", single(texts))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    outdir = os.path.abspath(sys.argv[1])
    if os.path.isdir(outdir):
        shutil.rmtree(outdir)
    os.makedirs(outdir)
    with tempfile.TemporaryDirectory() as scratch:
        base = os.path.join(scratch, "base.mp3")
        cover = os.path.join(scratch, "cover.png")
        make_base_mp3(base)
        make_cover_png(cover)
        corpus = Corpus(outdir, base, cover)
        ffmpeg_files(corpus)
        mutagen_files(corpus)
        eyed3_files(corpus)
        all_frames_files(corpus, scratch)
        kid3_files(corpus, scratch)
        id3v2_files(corpus)
    with open(os.path.join(outdir, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump(corpus.entries, f, ensure_ascii=False, indent=1)
    print(f"{len(corpus.entries)} files in {outdir}")


if __name__ == "__main__":
    main()
