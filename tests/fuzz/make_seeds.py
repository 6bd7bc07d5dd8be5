#!/usr/bin/python3
"""Writes the seed corpus for the rewriteTag fuzz target: small hand-made
tags covering every layout and text encoding the rewrite knows, the
awkward and broken cases it must turn down, and, when an interop corpus
folder is given, the tags of those files from real tag writers.

Usage: make_seeds.py OUTDIR [INTEROP_CORPUS]
"""
import hashlib
import os
import sys

AUDIO = bytes.fromhex("fffb50c4000000000000000000000000")
MAX_LENGTH = 4096  # run-fuzz.sh's -max_len


def synchsafe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


def frame(ident, data, major=4, flags=b"\0\0", size=None):
    size = len(data) if size is None else size
    if major == 2:
        return ident.encode() + size.to_bytes(3, "big") + data
    field = synchsafe(size) if major == 4 else size.to_bytes(4, "big")
    return ident.encode() + field + flags + data


def tag(frames, major=4, revision=0, flags=0, padding=0, extended=b"", tail=AUDIO, size=None):
    body = extended + b"".join(frames) + bytes(padding)
    size = len(body) if size is None else size
    return b"ID3" + bytes([major, revision, flags]) + synchsafe(size) + body + tail


def utf16(text, bom=True):
    return (b"\xff\xfe" if bom else b"") + text.encode("utf-16-le")


def texts(encode, encoding, major=4, values=("タイトル", "アーティスト", "アルバム")):
    ids = ("TT2", "TP1", "TAL") if major == 2 else ("TIT2", "TPE1", "TALB")
    return [frame(i, bytes([encoding]) + encode(v), major) for i, v in zip(ids, values)]


def hand_made():
    cover = frame("APIC", b"\0image/png\0\x03\0" + bytes(range(256)) * 2)
    comment = frame("COMM", b"\x01jpn\xff\xfe\0\0" + utf16("コメント", bom=False))
    seeds = {
        "v24-utf8": tag(texts(lambda t: t.encode() + b"\0", 3) + [comment], padding=25),
        "v24-utf8-bom": tag(texts(lambda t: b"\xef\xbb\xbf" + t.encode(), 3)),
        "v24-utf16-values": tag([frame("TPE1", b"\x01" + utf16("初音") + b"\0\0" + utf16("鏡音")
                                       + b"\0\0")] + texts(utf16, 1)[:1], padding=10),
        "v24-utf16be": tag(texts(lambda t: t.encode("utf-16-be"), 2)),
        "v24-utf16-bom-be": tag(texts(lambda t: b"\xfe\xff" + t.encode("utf-16-be"), 1)),
        "v24-latin1-values": tag([frame("TIT2", b"\0abc\0def\0\0")]),
        "v24-extended": tag(texts(utf16, 1), flags=0x40, extended=synchsafe(6) + b"\x01\x00"),
        "v24-footer": tag(texts(utf16, 1), flags=0x10, tail=b"3DI\x04\0\x10" + synchsafe(58)
                          + AUDIO),
        "v24-plain-sizes": tag([frame("TIT2", b"\x01" + utf16("長" * 100), major=3), cover]),
        "v24-cover": tag(texts(utf16, 1) + [cover], padding=300),
        "v23-utf16": tag(texts(utf16, 1, major=3) + [cover], major=3, padding=100),
        "v23-latin1": tag(texts(lambda t: t.encode("cp932") + b"\0", 0, major=3), major=3),
        "v23-extended": tag(texts(utf16, 1, major=3), major=3, flags=0x40,
                            extended=(6).to_bytes(4, "big") + bytes(6)),
        "v23-long": tag(texts(lambda t: utf16(t * 90), 1, major=3), major=3),
        "v22-utf16": tag(texts(utf16, 1, major=2) + [frame("COM", b"\0eng\0hi", 2)], major=2,
                         padding=12),
        "v39": tag(texts(utf16, 1, major=3), major=3, revision=9),
        "surrogates": tag([frame("TIT2", b"\x01" + utf16("🎵x") + b"\x00\xd8a\x00\x00\xdc")]),
        "odd-utf16": tag([frame("TIT2", b"\x01\xff\xfea\x00b")]),
        "no-terminator": tag([frame("TALB", b"\x01\xff\xfe" + "あ".encode("utf-16-le"))]),
        "bad-utf8": tag([frame("TIT2", b"\x03\xc3\x28\xe3\x81\xf0\x9f\x8e\xb5\xff\0")]),
        "empty-frames": tag([frame("TIT2", b""), frame("TPE1", b"\x01"), frame("TALB", b"\0")]),
        "no-targets": tag([comment, cover], padding=5),
        # Every frame with encoded strings, for --all-frames.
        "all-frames": tag(texts(utf16, 1) + [
            comment, cover,
            frame("APIC", b"\x01image/png\0\x03" + utf16("表紙") + b"\0\0\x89PNG\0"),
            frame("USLT", b"\x03jpn\0" + "歌詞\n二行目".encode()),
            frame("SYLT", b"\x01jpn\x02\x01\0\0" + utf16("さ") + b"\0\0\0\0\0\x10"),
            frame("GEOB", b"\x03a/b\0" + "名.txt".encode() + b"\0\0\x01\x02"),
            frame("WXXX", b"\x01" + utf16("サイト") + b"\0\0http://a/"),
            frame("COMR", b"\x01JPY5\x0020241231u\0\x05" + utf16("店") + b"\0\0\0\0"),
            frame("TIPL", b"\x03" + "作曲\0山田\0".encode())]),
        "all-frames-v22": tag([frame("PIC", b"\x01PNG\x03" + utf16("表") + b"\0\0\x89", 2),
                               frame("SLT", b"\x00jpn\x02\x01\0a\0\0\0\0\x01", 2),
                               frame("TXX", b"\x01" + utf16("d") + b"\0\0" + utf16("v"), 2)],
                              major=2),
        # What the rewrite turns down.
        "refused-41": tag(texts(utf16, 1), revision=1),
        "refused-50": tag(texts(utf16, 1), major=5),
        "unsynchronised": tag(texts(utf16, 1), flags=0x80),
        "v22-compressed": tag(texts(utf16, 1, major=2), major=2, flags=0x40),
        "extended-crc": tag(texts(utf16, 1), flags=0x40,
                            extended=synchsafe(11) + b"\x01\x20\x05\0\0\0\0"),
        "format-flags": tag([frame("TIT2", b"\x01" + utf16("a"), flags=b"\0\x08")]),
        "length-indicator-alone": tag([frame("COMM", bytes(4), flags=b"\xfe\x01")]
                                      + texts(utf16, 1)),
        "encoding-4": tag([frame("TIT2", b"\x04abc")]),
        "tag-past-end": tag(texts(utf16, 1), size=4000),
        "frame-past-tag": tag([frame("TIT2", b"\x01" + utf16("a"), size=900)]),
        "bad-extended": tag(texts(utf16, 1), flags=0x40, extended=synchsafe(2) + b"\0\0"),
        "short": b"ID3\x04\0",
    }
    return seeds


def interop_tags(folder):
    # The tag of each file and a little of the audio after it: the audio
    # itself does not matter to the rewrite. Tags longer than the fuzzer's
    # input limit (the ones with covers) would arrive cut short; the
    # hand-made seeds carry covers of their own.
    seeds = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".mp3"):
            continue
        with open(os.path.join(folder, name), "rb") as f:
            content = f.read()
        size = content[6] << 21 | content[7] << 14 | content[8] << 7 | content[9]
        end = 10 + size
        if end + 16 <= MAX_LENGTH:
            seeds["interop-" + name[:-4]] = content[:end + 16]
    return seeds


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    seeds = hand_made()
    if len(sys.argv) == 3 and os.path.isdir(sys.argv[2]):
        seeds.update(interop_tags(sys.argv[2]))
    for name, content in seeds.items():
        # libFuzzer names corpus files by content; the name here only helps a
        # reader of the folder.
        digest = hashlib.sha1(content).hexdigest()[:8]
        with open(os.path.join(outdir, f"{name}-{digest}"), "wb") as f:
            f.write(content)
    print(f"{len(seeds)} seeds in {outdir}")


if __name__ == "__main__":
    main()
