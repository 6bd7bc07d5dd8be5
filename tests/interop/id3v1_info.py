#!/usr/bin/python3
"""--id3v1 and --info on the interop corpus, checked with mutagen: the ID3v1
tag that sorabun-cli --id3v1 writes, read by mutagen's ID3v1 parser, holds
the title, artist and album converted and cut between characters, and the
year, track and genre that mutagen reads in the ID3v2 tag; everything
before it is the plain conversion's content (an ID3v1 tag of another writer
replaced); both builds give the same bytes. --info --json writes nothing and
gives one object per file listing the frames in tag order.

Usage: id3v1_info.py CORPUS WORKDIR [--native CLI] [--wine CLI.EXE [--wine-runner SCRIPT]]
"""
import json
import os
import subprocess
import sys

from mutagen._constants import GENRES
from mutagen.id3 import ID3, ParseID3v1

import check


def cut(text, room):
    """The longest start of code page 932 bytes that fits room whole."""
    end = 0
    while end < len(text):
        size = 2 if (0x81 <= text[end] <= 0x9F or 0xE0 <= text[end] <= 0xFC) else 1
        if end + size > room:
            break
        end += size
    return text[:end]


def expected_fields(path, entry):
    tags = ID3(path)  # mutagen gives a version 3 TYER as TDRC
    fields = {}
    for ident in check.TARGETS:
        if ident in tags:
            fields[ident] = cut(check.expected_text(entry, ident, 3).split(b"\0")[0], 30)
    if "TDRC" in tags and str(tags["TDRC"].text[0])[:4].isdigit():
        fields["TDRC"] = str(tags["TDRC"].text[0])[:4].encode()
    if "TRCK" in tags and 1 <= int(str(tags["TRCK"]).split("/")[0]) <= 255:
        fields["TRCK"] = str(int(str(tags["TRCK"]).split("/")[0])).encode()
    if "TCON" in tags and tags["TCON"].genres and tags["TCON"].genres[0] in GENRES:
        fields["TCON"] = tags["TCON"].genres[0].encode()
    return {k: v.strip() for k, v in fields.items() if v.strip()}


def read_id3v1(content):
    frames = ParseID3v1(content[-128:]) or {}
    # mutagen reads the texts as Latin-1: encoding gives back the bytes.
    return {k: str(frames[k]).encode("latin-1")
            for k in ("TIT2", "TPE1", "TALB", "TDRC", "TRCK", "TCON") if k in frames}


def check_id3v1(original_path, converted_path, entry):
    with open(original_path, "rb") as f:
        original = f.read()
    with open(converted_path, "rb") as f:
        converted = f.read()
    plain, _ = check.expected_content(original, entry)
    if original[-128:-125] == b"TAG":
        plain = plain[:-128]
    problems = []
    if converted[:-128] != plain:
        problems.append("the content before the ID3v1 tag is not the plain conversion's")
    got, want = read_id3v1(converted), expected_fields(original_path, entry)
    if got != want:
        problems.append(f"mutagen reads the ID3v1 tag as {got}, want {want}")
    return problems


def check_info(command, corpus, names):
    before = {n: open(os.path.join(corpus, n), "rb").read() for n in names}
    result = subprocess.run(command + ["--info", "--json"] + names, cwd=corpus,
                            capture_output=True)
    encoding = "cp932" if len(command) > 1 else "utf-8"
    problems = [] if result.returncode == 0 else [f"--info exited with {result.returncode}"]
    lines = result.stdout.decode(encoding, errors="replace").splitlines()
    found = {o["path"]: o for o in map(json.loads, lines)}
    for name in names:
        try:
            frames = [f.ident for f in check.walk_tag(before[name]).frames]
        except ValueError:
            continue  # a tag the plain reader above does not take
        listed = [f["id"] for f in found.get(name, {}).get("frames", [])]
        if listed != frames:
            problems.append(f"{name}: --info lists {listed}, the tag holds {frames}")
        if open(os.path.join(corpus, name), "rb").read() != before[name]:
            problems.append(f"{name}: changed by --info")
    return problems


def main():
    args, entries = check.arguments()
    names = [e["name"] for e in entries]
    builds = check.builds_of(args)
    failures = 0
    outputs = {}
    for label, command in builds:
        workdir = os.path.join(args.workdir, label)
        if check.convert(command + ["--id3v1"], workdir, names, args.corpus) != 0:
            print(f"{label}: sorabun-cli --id3v1 failed")
            failures += 1
        for entry in entries:
            name = entry["name"]
            problems = check_id3v1(os.path.join(args.corpus, name), os.path.join(workdir, name),
                                   entry)
            outputs.setdefault(name, {})[label] = open(os.path.join(workdir, name), "rb").read()
            for problem in problems:
                print(f"{label}: {name}: {problem}")
            failures += bool(problems)
        for problem in check_info(command, args.corpus, names):
            print(f"{label}: {problem}")
            failures += 1
    if len(builds) == 2:
        differing = [n for n in names if outputs[n]["native"] != outputs[n]["wine"]]
        for name in differing:
            print(f"--id3v1: native and Windows builds differ: {name}")
        failures += len(differing)
    print(f"--id3v1 and --info: {len(names)} files, {len(builds)} builds, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
