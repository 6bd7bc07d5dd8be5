#!/usr/bin/python3
"""Converts the interop corpus with sorabun-cli and checks every result with
readers we did not write: mutagen must parse it, the title, artist and album
must hold code page 932 text (encoding 0) that reads as the writer's text,
every other byte must be where it was, the decoded audio must be the same,
and the file must have shrunk by exactly what the frames saved.

Usage: check.py CORPUS WORKDIR [--native CLI] [--wine CLI.EXE [--wine-runner SCRIPT]]

With both --native and --wine, the two builds must also give the same bytes.
"""
import argparse
import collections
import json
import os
import shutil
import subprocess
import sys

from mutagen.id3 import ID3

TARGETS = ("TIT2", "TPE1", "TALB")

# Where Windows' own conversion into code page 932 (WideCharToMultiByte)
# differs from Python's cp932 codec: characters without a mapping become
# '?', a few get a best-fit look-alike, and the NEC/IBM duplicates take the
# IBM codes.
WINDOWS_CP932 = {
    "\u301c": b"?",  # wave dash
    "\u2212": b"?",  # minus sign
    "\u2016": b"?",
    "\u2014": b"?",
    "\u00a0": b"?",
    "\u203e": b"?",
    "\uff5e": b"\x81\x60",  # full-width tilde
    "\uff0d": b"\x81\x7c",  # full-width hyphen-minus
    "\u00e9": b"e",
    "\u00e0": b"a",
    "\u00e8": b"e",
    "\u00ef": b"i",
    "\u00f1": b"n",
    "\u00f6": b"o",
    "\u00a5": b"\x5c",  # yen sign
    "\u9ad9": b"\xfb\xfc",
}


def windows_cp932(text):
    out = bytearray()
    for ch in text:
        if ch in WINDOWS_CP932:
            out += WINDOWS_CP932[ch]
        elif ord(ch) > 0xFFFF:
            out += b"??"  # each unit of a surrogate pair on its own
        else:
            try:
                out += ch.encode("cp932")
            except UnicodeEncodeError:
                out += b"?"
    return bytes(out)


def synchsafe(field):
    return field[0] << 21 | field[1] << 14 | field[2] << 7 | field[3]


def to_synchsafe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


Frame = collections.namedtuple("Frame", "ident flags data")
Tag = collections.namedtuple("Tag", "major frames_start frames frames_end tag_end")


def walk_tag(content):
    """The frames of a version 3 or 4 tag as the writers above lay them out."""
    if content[:3] != b"ID3" or content[3] not in (3, 4) or content[5] & 0xC0:
        raise ValueError("not a plain version 3 or 4 tag")
    major = content[3]
    tag_end = 10 + synchsafe(content[6:10])
    r = 10
    frames = []
    while r + 10 < tag_end and all(c in b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                   for c in content[r:r + 4]):
        field = content[r + 4:r + 8]
        size = synchsafe(field) if major == 4 else int.from_bytes(field, "big")
        if r + 10 + size > tag_end:
            raise ValueError("frame runs past the tag")
        frames.append(Frame(content[r:r + 4].decode(), content[r + 8:r + 10],
                            content[r + 10:r + 10 + size]))
        r += 10 + size
    return Tag(major, 10, frames, r, tag_end)


def expected_text(entry, ident, major):
    raw = entry.get("raw", {})
    if ident in raw:
        return bytes.fromhex(raw[ident])
    values = entry["values"][ident]
    if major == 3:
        values = values[:1]
    return b"\0".join(windows_cp932(v) for v in values)


def expected_content(original, entry):
    """The original with the three target frames re-encoded, and nothing else
    changed but the size fields; and the bytes the frames saved."""
    tag = walk_tag(original)
    body = bytearray()
    saved = 0
    for frame in tag.frames:
        data = frame.data
        if frame.ident in TARGETS and data:
            data = b"\0" + expected_text(entry, frame.ident, tag.major)
            saved += len(frame.data) - len(data)
        size = to_synchsafe(len(data)) if tag.major == 4 else len(data).to_bytes(4, "big")
        body += frame.ident.encode() + size + frame.flags + data
    tag_size = synchsafe(original[6:10]) - saved
    content = (original[:6] + to_synchsafe(tag_size) + original[10:tag.frames_start] + body
               + original[tag.frames_end:])
    return bytes(content), saved


def audio_md5(path):
    result = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a",
                             "-f", "md5", "-"], check=True, capture_output=True, text=True)
    return result.stdout.strip()


def mutagen_problems(path, entry, original_path):
    """What mutagen, reading the converted file, finds wrong."""
    problems = []
    try:
        converted = ID3(path)
        before = ID3(original_path)
    except Exception as error:  # any parse failure is a finding
        return [f"mutagen cannot read it: {error}"]
    if sorted(converted.keys()) != sorted(before.keys()):
        problems.append(f"mutagen sees frames {sorted(converted.keys())}, "
                        f"was {sorted(before.keys())}")
    for ident in TARGETS:
        frame = converted.get(ident)
        if frame is None:
            continue
        if frame.encoding != 0:
            problems.append(f"{ident}: encoding {int(frame.encoding)}")
            continue
        # mutagen reads encoding 0 as Latin-1, so its text gives back the bytes.
        got = b"\0".join(v.encode("latin-1") for v in frame.text)
        want = expected_text(entry, ident, converted.version[1])
        if got != want:
            problems.append(f"{ident}: mutagen reads {got!r}, want {want!r}")
    return problems


def check_file(original_path, converted_path, entry, decode_audio=True):
    """What is wrong with a conversion. decode_audio False leaves out the
    decoded audio, which the byte comparison already covers once a file of
    the same bytes has passed the full check."""
    with open(original_path, "rb") as f:
        original = f.read()
    with open(converted_path, "rb") as f:
        converted = f.read()
    want, saved = expected_content(original, entry)
    problems = []
    if converted != want:
        problems.append(_describe_difference(converted, want))
    if len(original) - len(converted) != saved:
        problems.append(f"shrank by {len(original) - len(converted)} bytes, the frames saved {saved}")
    problems += mutagen_problems(converted_path, entry, original_path)
    if decode_audio and audio_md5(original_path) != audio_md5(converted_path):
        problems.append("the decoded audio differs")
    outcome = "unchanged" if converted == original else f"converted, {saved} bytes saved"
    return outcome, problems


def _describe_difference(got, want):
    at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
    return (f"bytes differ from offset {at} (length {len(got)}, want {len(want)}): "
            f"{got[at:at + 16].hex()} != {want[at:at + 16].hex()}")


def convert(command, workdir, names, corpus):
    if os.path.isdir(workdir):
        shutil.rmtree(workdir)
    os.makedirs(workdir)
    for name in names:
        shutil.copyfile(os.path.join(corpus, name), os.path.join(workdir, name))
    # Relative names: the same command line suits the native and the Windows
    # program.
    result = subprocess.run(command + ["--yes"] + names, cwd=workdir, capture_output=True)
    if result.returncode != 0:
        sys.stdout.write(result.stdout.decode(errors="replace"))
        sys.stdout.write(result.stderr.decode(errors="replace"))
    return result.returncode


def arguments():
    """The command line both checks take, and the corpus's manifest."""
    parser = argparse.ArgumentParser()
    parser.add_argument("corpus")
    parser.add_argument("workdir")
    parser.add_argument("--native")
    parser.add_argument("--wine")
    parser.add_argument("--wine-runner",
                        default=os.path.join(os.path.dirname(__file__), "..", "wine", "run-wine.sh"))
    args = parser.parse_args()
    with open(os.path.join(args.corpus, "manifest.json"), encoding="utf-8") as f:
        return args, json.load(f)


def builds_of(args):
    """The builds to check, each a label and the command that runs it."""
    builds = []
    if args.native:
        builds.append(("native", [os.path.abspath(args.native)]))
    if args.wine:
        builds.append(("wine", [os.path.abspath(args.wine_runner), os.path.abspath(args.wine)]))
    return builds


def main():
    args, entries = arguments()
    names = [e["name"] for e in entries]
    builds = builds_of(args)
    failures = 0
    outputs = {}
    for label, command in builds:
        workdir = os.path.join(args.workdir, label)
        status = convert(command, workdir, names, args.corpus)
        if status != 0:
            print(f"{label}: sorabun-cli exited with {status}")
            failures += 1
        per_writer = collections.OrderedDict()
        for entry in entries:
            name = entry["name"]
            outcome, problems = check_file(os.path.join(args.corpus, name),
                                           os.path.join(workdir, name), entry)
            with open(os.path.join(workdir, name), "rb") as f:
                outputs.setdefault(name, {})[label] = f.read()
            counts = per_writer.setdefault(entry["writer"], collections.Counter())
            counts["files"] += 1
            counts["failed" if problems else outcome.split(",")[0]] += 1
            print(f"{label}: {name}: {'FAILED' if problems else outcome}")
            for problem in problems:
                print(f"    {problem}")
            failures += bool(problems)
        for writer, counts in per_writer.items():
            print(f"{label}: {writer}: {counts['files']} files, {counts['converted']} converted, "
                  f"{counts['unchanged']} unchanged, {counts['failed']} failed")

    if len(builds) == 2:
        differing = [n for n in names if outputs[n]["native"] != outputs[n]["wine"]]
        for name in differing:
            print(f"native and Windows builds differ: {name}")
        failures += len(differing)
        print(f"native and Windows builds: {len(names) - len(differing)} of {len(names)} "
              "files identical")
    checked = len(names) * len(builds)
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
