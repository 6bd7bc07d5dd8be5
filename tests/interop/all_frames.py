#!/usr/bin/python3
"""Converts the corpus's files made for --all-frames with
`sorabun-cli --all-frames` and checks them with mutagen: every frame that
holds text has encoding 0 and each of its strings reads as the original's
converted into code page 932 (as Windows converts it); every other value
(languages, picture types, time stamps, URLs, picture and object bytes) is
unchanged; the decoded audio is the same; and the native and Windows builds
give the same bytes.

Usage: all_frames.py CORPUS WORKDIR [--native CLI] [--wine CLI.EXE [--wine-runner SCRIPT]]
"""
import os
import sys

from mutagen.id3 import ID3

from check import arguments, audio_md5, builds_of, convert, windows_cp932


def converted(value):
    if isinstance(value, str):
        # mutagen reads encoding 0 as Latin-1: its text gives back the bytes.
        return windows_cp932(value).decode("latin-1")
    if isinstance(value, (list, tuple)):
        return type(value)(converted(v) for v in value)
    return value


def frame_values(frame, convert_texts):
    values = {}
    for name, value in vars(frame).items():
        if name == "encoding":
            value = 0 if convert_texts else int(value)
        elif convert_texts:
            value = converted(value)
        values[name] = value
    return frame.FrameID, repr(sorted(values.items()))


def problems_of(original_path, converted_path):
    try:
        before = ID3(original_path)
        after = ID3(converted_path)
    except Exception as error:  # any parse failure is a finding
        return [f"mutagen cannot read it: {error}"]
    want = sorted(frame_values(f, hasattr(f, "encoding")) for f in before.values())
    got = sorted(frame_values(f, False) for f in after.values())
    problems = [f"want {str(w)[:300]}\n      got  {str(g)[:300]}"
                for w, g in zip(want, got) if w != g]
    if len(want) != len(got):
        problems.append(f"{len(got)} frames, want {len(want)}")
    if audio_md5(original_path) != audio_md5(converted_path):
        problems.append("the decoded audio differs")
    return problems


def main():
    args, entries = arguments()
    names = [e["name"] for e in entries if e.get("all_frames")]
    builds = builds_of(args)
    failures = 0
    outputs = {}
    for label, command in builds:
        workdir = os.path.join(args.workdir, label)
        status = convert(command + ["--all-frames"], workdir, names, args.corpus)
        if status != 0:
            print(f"{label}: sorabun-cli --all-frames exited with {status}")
            failures += 1
        for name in names:
            path = os.path.join(workdir, name)
            problems = problems_of(os.path.join(args.corpus, name), path)
            with open(path, "rb") as f:
                outputs.setdefault(name, []).append(f.read())
            print(f"{label}: --all-frames {name}: {'FAILED' if problems else 'ok'}")
            for problem in problems:
                print(f"    {problem}")
            failures += bool(problems)
    if len(builds) == 2:
        differing = [n for n in names if outputs[n][0] != outputs[n][1]]
        for name in differing:
            print(f"native and Windows builds differ with --all-frames: {name}")
        failures += len(differing)
    print(f"--all-frames: {len(names) * len(builds)} conversions, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
