#!/usr/bin/python3
"""`sorabun-cli --id3v2.3` on the interop corpus and on files made for it
(version 2.4 frames that version 2.3 lacks, UTF-8 in a version 2.3 tag, an
unsynchronised tag, version 2.2), checked with readers we did not write:
id3lib (`id3v2 -l`), which reads versions 2.2 and 2.3 only, must list the
title, artist and album with their code page 932 bytes; mutagen's reading
must equal its reading of the original apart from those three frames, the
encodings and the values joined with "/"; pictures and objects must be
byte-identical; ffmpeg must decode the same audio; eyeD3 must read the tag;
and the native and Windows builds must give the same bytes. It ends by
counting the files whose title, artist and album id3lib shows.

Usage: version3.py CORPUS WORKDIR [--native CLI] [--wine CLI.EXE [--wine-runner SCRIPT]]
"""
import os
import shutil
import subprocess
import sys

from mutagen.id3 import (APIC, GEOB, ID3, TALB, TCON, TDOR, TDRC, TDRL, TIPL, TIT2, TMCL, TMOO,
                         TPE1, TSOA, TSOP, TSOT)

from check import arguments, audio_md5, builds_of, convert, to_synchsafe, windows_cp932

TARGETS = ("TIT2", "TPE1", "TALB")
ID3LIB_LABELS = {"TIT2": b"TIT2 (", "TPE1": b"TPE1 (", "TALB": b"TALB ("}


def frame3(identifier, data, flags=b"\0\0"):
    return identifier.encode() + len(data).to_bytes(4, "big") + flags + data


def frame2(identifier, data):
    return identifier.encode() + len(data).to_bytes(3, "big") + data


def tagged(base, major, flags, body, padding=64):
    body += bytes(padding)
    return b"ID3" + bytes([major, 0, flags]) + to_synchsafe(len(body)) + body + base


def unsynchronised(data):
    """The whole-tag unsynchronisation: a zero after each 0xFF that a sync
    or another zero could follow."""
    out = bytearray()
    for i, byte in enumerate(data):
        out.append(byte)
        if byte == 0xFF and (i + 1 == len(data) or data[i + 1] >= 0xE0 or data[i + 1] == 0):
            out.append(0)
    return bytes(out)


def make_files(folder, base_path, picture):
    """The files made for this check, in folder; their names."""
    with open(base_path, "rb") as f:
        base = f.read()
    names = []

    def path(name):
        names.append(name)
        return os.path.join(folder, name)

    # Version 2.4 as mutagen writes it, with what version 2.3 lacks.
    tags = ID3()
    tags.add(TIT2(encoding=3, text=["夜明けの歌"]))
    tags.add(TPE1(encoding=3, text=["初音ミク", "鏡音リン"]))
    tags.add(TALB(encoding=1, text=["THE BOOK 初回"]))
    tags.add(TDRC(encoding=3, text=["2024-03-05T10:20"]))
    tags.add(TDOR(encoding=3, text=["1999"]))
    tags.add(TDRL(encoding=3, text=["2024-04-01"]))
    tags.add(TIPL(encoding=3, people=[["producer", "山田"], ["mix", "Sato"]]))
    tags.add(TMCL(encoding=3, people=[["guitar", "鈴木"]]))
    tags.add(TSOP(encoding=3, text=["はつねみく"]))
    tags.add(TSOA(encoding=3, text=["ざぶっく"]))
    tags.add(TSOT(encoding=3, text=["よあけのうた"]))
    tags.add(TMOO(encoding=3, text=["しっとり"]))
    tags.add(TCON(encoding=3, text=["17", "J-Pop"]))
    tags.add(APIC(encoding=3, mime="image/png", type=3, desc="表紙", data=picture))
    tags.add(GEOB(encoding=3, mime="application/octet-stream", filename="歌詞.txt", desc="歌詞",
                  data=b"\xff\xe0\x00\xff" * 64))
    target = path("made-v24-version4-frames.mp3")
    shutil.copyfile(base_path, target)
    tags.save(target, v2_version=4)

    # Version 2.3 holding UTF-8 against its standard.
    body = (frame3("TIT2", b"\x03" + "朝〜夜".encode()) + frame3("TPE1", b"\x03" + "歌手".encode())
            + frame3("TALB", b"\x01" + "アルバム".encode("utf-16")) +
            frame3("TCOM", b"\x03" + "作曲者".encode()))
    with open(path("made-v23-utf8.mp3"), "wb") as f:
        f.write(tagged(base, 3, 0, body))

    # An unsynchronised version 2.3 tag: a picture whose bytes need it.
    body = (frame3("TIT2", b"\x01" + "ひらがな".encode("utf-16")) +
            frame3("TPE1", b"\x00" + "カナ".encode("cp932")) +
            frame3("TALB", b"\x01" + "漢字".encode("utf-16")) +
            frame3("APIC", b"\x00image/jpeg\x00\x03\x00" + b"\xff\xd8\xff\xe0" + picture[:512]))
    with open(path("made-v23-unsynchronised.mp3"), "wb") as f:
        f.write(tagged(base, 3, 0x80, unsynchronised(body)))

    # Version 2.2, every frame one that version 2.3 has.
    body = (frame2("TT2", b"\x01" + "曲名".encode("utf-16")) +
            frame2("TP1", b"\x01" + "歌手名".encode("utf-16")) +
            frame2("TAL", b"\x00" + "Album".encode()) + frame2("TYE", b"\x002001") +
            frame2("COM", b"\x01jpn" + "\ufeff".encode("utf-16-le") + b"\0\0" +
                   "コメント".encode("utf-16")) +
            frame2("PIC", b"\x00PNG\x03\x00" + picture))
    with open(path("made-v22.mp3"), "wb") as f:
        f.write(tagged(base, 2, 0, body))
    return names


def id3lib_texts(path):
    """The title, artist and album bytes that `id3v2 -l` lists (id3lib
    prints single-byte text as Latin-1, in UTF-8 here)."""
    result = subprocess.run(["id3v2", "-l", path], capture_output=True,
                            env=dict(os.environ, LC_ALL="C.UTF-8"))
    found = {}
    for line in result.stdout.split(b"\n"):
        for ident, label in ID3LIB_LABELS.items():
            if line.startswith(label) and b": " in line:
                text = line.split(b": ", 1)[1].decode("utf-8")
                found[ident] = text.encode("latin-1", errors="backslashreplace")
    return found


def expected_texts(tags):
    """The title, artist and album bytes a conversion of a tag as mutagen
    reads it gives: its values joined with "/" in code page 932 as Windows
    converts them, single-byte text kept as it is."""
    found = {}
    for ident in TARGETS:
        frame = tags.get(ident)
        if frame is None:
            continue
        text = "/".join(str(value) for value in frame.text)
        found[ident] = text.encode("latin-1") if frame.encoding == 0 else windows_cp932(text)
    return found


def reading(frame):
    """A frame as mutagen reads it, its encoding aside and its values joined
    with "/"; a genre by what it names."""
    if isinstance(frame, TCON):
        return ("TCON", repr(frame.genres))
    values = {}
    for name, value in vars(frame).items():
        if name == "encoding":
            continue
        if name == "text" and isinstance(value, list):
            value = "/".join(str(v) for v in value)
        values[name] = value
    return (frame.HashKey, repr(sorted(values.items())))


def problems_of(original_path, converted_path):
    with open(converted_path, "rb") as f:
        converted = f.read()
    problems = []
    if converted[3:5] != b"\3\0" or converted[5] & 0x80:
        problems.append(f"header {converted[:6].hex()}, want version 2.3 without unsynchronisation")
    try:
        before = ID3(original_path)
        after = ID3(converted_path)
    except Exception as error:  # any parse failure is a finding
        return problems + [f"mutagen cannot read it: {error}"], False
    got = id3lib_texts(converted_path)
    want = expected_texts(before)
    if got != want:
        problems.append(f"id3lib lists {got!r}, want {want!r}")
    kept = sorted(reading(f) for f in before.values() if f.FrameID not in TARGETS)
    read = sorted(reading(f) for f in after.values() if f.FrameID not in TARGETS)
    problems += [f"mutagen: want {str(w)[:200]}\n      got  {str(g)[:200]}"
                 for w, g in zip(kept, read) if w != g]
    if len(kept) != len(read):
        problems.append(f"mutagen reads {len(read)} other frames, want {len(kept)}")
    for kind in ("APIC", "GEOB"):
        if [f.data for f in before.getall(kind)] != [f.data for f in after.getall(kind)]:
            problems.append(f"{kind} bytes differ")
    if audio_md5(original_path) != audio_md5(converted_path):
        problems.append("the decoded audio differs")
    eyed3 = subprocess.run(["eyeD3", "--no-color", converted_path], capture_output=True, text=True)
    if eyed3.returncode != 0 or "ID3 v2.3" not in eyed3.stdout:
        problems.append(f"eyeD3: {(eyed3.stdout + eyed3.stderr).strip()[-200:]}")
    return problems, set(got) == set(TARGETS)


def main():
    args, entries = arguments()
    sources = os.path.join(args.workdir, "sources")
    if os.path.isdir(sources):
        shutil.rmtree(sources)
    os.makedirs(sources)
    names = [e["name"] for e in entries]
    for name in names:
        shutil.copyfile(os.path.join(args.corpus, name), os.path.join(sources, name))
    with open(os.path.join(args.corpus, names[0]), "rb") as f:
        first = f.read()
    audio = first[10 + ((first[6] << 21) | (first[7] << 14) | (first[8] << 7) | first[9]):]
    if audio[-128:-125] == b"TAG":
        audio = audio[:-128]
    base = os.path.join(args.workdir, "base.mp3")
    with open(base, "wb") as f:  # the corpus's audio without its tags
        f.write(audio)
    # Every byte value, so that 0xFF comes before zeros and before itself.
    picture = bytes(range(256)) * 40
    made = make_files(sources, base, picture)
    builds = builds_of(args)
    failures = 0
    outputs = {}
    for label, command in builds:
        workdir = os.path.join(args.workdir, label)
        status = convert(command + ["--id3v2.3"], workdir, names + made, sources)
        if status != 0:
            print(f"{label}: sorabun-cli --id3v2.3 exited with {status}")
            failures += 1
        shown = 0
        for name in names + made:
            path = os.path.join(workdir, name)
            problems, all_shown = problems_of(os.path.join(sources, name), path)
            shown += name in names and all_shown
            with open(path, "rb") as f:
                outputs.setdefault(name, []).append(f.read())
            print(f"{label}: --id3v2.3 {name}: {'FAILED' if problems else 'ok'}")
            for problem in problems:
                print(f"    {problem}")
            failures += bool(problems)
        print(f"{label}: id3lib shows title, artist and album in {shown} of {len(names)} "
              "files of the corpus")
    if len(builds) == 2:
        differing = [n for n in names + made if outputs[n][0] != outputs[n][1]]
        for name in differing:
            print(f"native and Windows builds differ with --id3v2.3: {name}")
        failures += len(differing)
    print(f"--id3v2.3: {len(names + made) * len(builds)} conversions, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
