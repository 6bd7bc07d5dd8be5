#!/usr/bin/python3
"""Kills sorabun-cli with SIGKILL at many moments of the conversion of a
large file and checks, after each kill, that the file holds exactly its
original bytes or exactly the converted bytes, and that whatever else is
left in the folder is the replacement file, recognisable by its name, which
a later run points out and leaves alone. After each kill a second run must
finish the job. A few more trials end the program with SIGTERM, SIGINT and
SIGHUP during the write: it must remove its replacement file and end with
the signal's status.

Usage: kill_test.py PROGRAM [--trials N] [--size-mb M] [--dir FOLDER]

The file lives on tmpfs (/dev/shm) when there is room, so that a trial takes
a fraction of a second. The kill moments are spread over the write as
measured in reference runs (from the replacement file's appearance to its
rename), with a few before and after it.
"""
import argparse
import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

NAME = "large.mp3"
LEFTOVER = re.compile(r"\.sorabun-[0-9a-v]{8}")
MIN_KILLS_DURING_WRITE = 50
MAX_TRIALS = 200


def synchsafe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


def frame(ident, data):
    return ident.encode() + struct.pack(">I", len(data)) + b"\0\0" + data


def make_large_file(path, size_mb):
    """A version 2.3 tag with UTF-16 texts and a 30 KB cover, as Windows
    writes them, then size_mb MB of audio-like bytes that differ from block
    to block, so that a block written twice or skipped shows."""
    texts = [frame(i, b"\x01\xff\xfe" + t.encode("utf-16-le") + b"\0\0")
             for i, t in (("TIT2", "大きなファイル"), ("TPE1", "アーティスト"), ("TALB", "アルバム"))]
    cover = frame("APIC", b"\0image/jpeg\0\x03\0" + bytes(i * 7 % 251 for i in range(30 * 1024)))
    body = b"".join(texts) + cover + bytes(1024)
    header = b"ID3\x03\x00\x00" + synchsafe(len(body))
    block = bytes(i * 13 % 256 for i in range(1 << 20))
    with open(path, "wb") as f:
        f.write(header + body)
        for i in range(size_mb):
            f.write(struct.pack(">I", i) + block[4:])


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 22), b""):
            h.update(chunk)
    return h.hexdigest()


def timed_run(program, folder):
    """Runs a whole conversion, watching the folder: returns when the
    replacement file appeared, when it went, and when the process ended,
    in seconds from the start."""
    started = time.monotonic()
    process = subprocess.Popen([program, "--yes", "--quiet", os.path.join(folder, NAME)],
                               stdout=subprocess.DEVNULL)
    appeared = gone = None
    while process.poll() is None:
        time.sleep(0.0005)  # leaves the processor to the program being watched
        exists = any(LEFTOVER.fullmatch(n) for n in os.listdir(folder))
        now = time.monotonic() - started
        if exists and appeared is None:
            appeared = now
        if not exists and appeared is not None and gone is None:
            gone = now
    ended = time.monotonic() - started
    if process.returncode != 0:
        raise RuntimeError(f"the reference run exited with {process.returncode}")
    return appeared or 0.0, gone or ended, ended


def kill_moments(appeared, gone, ended, trials):
    """Most moments spread evenly over the write, from the replacement file's
    appearance to its rename; a few before it and a few after."""
    outside = max(trials // 8, 1)
    during = trials - 2 * outside
    moments = [appeared * (i + 0.5) / outside for i in range(outside)]
    moments += [appeared + (gone - appeared) * (i + 0.5) / during for i in range(during)]
    moments += [gone + (ended * 1.1 - gone) * (i + 0.5) / outside for i in range(outside)]
    return moments


def pick_folder(requested, needed):
    if requested:
        return requested
    if os.path.isdir("/dev/shm") and shutil.disk_usage("/dev/shm").free > needed:
        return "/dev/shm"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--trials", type=int, default=80)
    parser.add_argument("--size-mb", type=int, default=100)
    parser.add_argument("--dir")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    parent = pick_folder(args.dir, 4 * (args.size_mb + 1) << 20)

    with tempfile.TemporaryDirectory(prefix="sorabun-kill-", dir=parent) as root:
        pristine = os.path.join(root, "original.mp3")
        make_large_file(pristine, args.size_mb)
        folder = os.path.join(root, "music")
        os.mkdir(folder)
        target = os.path.join(folder, NAME)
        original = digest(pristine)

        # The converted bytes, and when a whole run writes.
        runs = []
        for _ in range(3):
            shutil.copyfile(pristine, target)
            runs.append(timed_run(program, folder))
        converted = digest(target)
        size_saved = os.path.getsize(pristine) - os.path.getsize(target)
        if converted == original or size_saved <= 0:
            print("the reference run did not convert the file")
            return 1
        appeared, gone, ended = (sorted(r[i] for r in runs)[1] for i in range(3))
        print(f"file {os.path.getsize(pristine)} bytes in {root}, converted with {size_saved} "
              f"bytes saved; a run writes from {appeared * 1000:.1f} to {gone * 1000:.1f} ms "
              f"and ends at {ended * 1000:.1f} ms")

        counts = {"original": 0, "converted": 0, "other": 0, "leftover": 0}
        failures = 0
        during_write = []  # moments whose kill came while the replacement was written
        moments = kill_moments(appeared, gone, ended, args.trials)
        trial = 0
        while moments:
            delay = moments.pop(0)
            trial += 1
            state, leftover, problems = kill_trial(program, folder, pristine, delay,
                                                   original, converted)
            counts[state] += 1
            if leftover:
                counts["leftover"] += 1
                during_write.append(delay)
            print(f"trial {trial:3d}: kill after {delay * 1000:6.1f} ms: {state}"
                  f"{', leftover replacement' if leftover else ''}: "
                  f"{'FAILED' if problems else 'ok'}")
            for problem in problems:
                print(f"    {problem}")
            failures += bool(problems)
            # A busy machine moves the write: more moments where kills did
            # land in it, until enough have.
            if not moments and len(during_write) < MIN_KILLS_DURING_WRITE and trial < MAX_TRIALS:
                low, high = (min(during_write), max(during_write)) if during_write else (0, ended)
                extra = MIN_KILLS_DURING_WRITE - len(during_write) + 5
                moments = [low + (high - low) * (i + 0.5) / extra for i in range(extra)]

        # Catchable interruptions in the middle of the write.
        for i, interruption in enumerate((signal.SIGTERM, signal.SIGINT, signal.SIGHUP) * 3):
            delay = appeared + (gone - appeared) * (i + 1) / 10
            problems = interrupt_trial(program, folder, pristine, delay, original, converted,
                                       interruption)
            print(f"{interruption.name} after {delay * 1000:6.1f} ms: "
                  f"{'FAILED' if problems else 'ok'}")
            for problem in problems:
                print(f"    {problem}")
            trial += 1
            failures += bool(problems)

        print(f"{trial} kills: {counts['original']} left the original, "
              f"{counts['converted']} the converted file; {counts['leftover']} came during the "
              "write and left the replacement file beside the original")
        if len(during_write) < MIN_KILLS_DURING_WRITE:
            print(f"only {len(during_write)} kills came during the write")
            failures += 1
        print(f"{trial - failures} passed, {failures} failed")
        return 1 if failures else 0


def kill_trial(program, folder, pristine, delay, original, converted):
    """One conversion killed after delay seconds, then checked, then run
    again. Returns the state the kill left, whether a replacement file was
    left, and the problems found."""
    target = os.path.join(folder, NAME)
    shutil.copyfile(pristine, target)
    process = subprocess.Popen([program, "--yes", "--quiet", target],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.send_signal(signal.SIGKILL)
    process.wait()

    problems = []
    state = {original: "original", converted: "converted"}.get(digest(target), "other")
    if state == "other":
        problems.append(f"{NAME} holds neither the original nor the converted bytes "
                        f"({os.path.getsize(target)} bytes)")
    others = sorted(set(os.listdir(folder)) - {NAME})
    strangers = [n for n in others if not LEFTOVER.fullmatch(n)]
    if strangers:
        problems.append(f"unexpected files: {strangers}")

    # A folder run takes only the music file, points the leftover out without
    # touching it, and ends with the converted file.
    result = subprocess.run([program, "--yes", folder], capture_output=True, text=True)
    if result.returncode != 0:
        problems.append(f"the run after the kill exited with {result.returncode}: "
                        f"{result.stdout}{result.stderr}")
    for name in others:
        if f"leftover: {os.path.join(folder, name)} " not in result.stdout:
            problems.append(f"the run after the kill did not point out {name}: {result.stdout}")
    if digest(target) != converted:
        problems.append("the run after the kill did not leave the converted bytes")
    remaining = sorted(set(os.listdir(folder)) - {NAME})
    if remaining != others:
        problems.append(f"the run after the kill left {remaining} behind, not {others}")
    for name in remaining:
        os.remove(os.path.join(folder, name))
    return state, bool(others) and not strangers, problems


def interrupt_trial(program, folder, pristine, delay, original, converted, interruption):
    """One conversion interrupted with a catchable signal after delay
    seconds: the file must be whole, no replacement file left, and the
    program must end with the signal's status."""
    target = os.path.join(folder, NAME)
    shutil.copyfile(pristine, target)
    process = subprocess.Popen([program, "--yes", "--quiet", target],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.send_signal(interruption)
    process.wait()
    problems = []
    if digest(target) not in (original, converted):
        problems.append(f"{NAME} holds neither the original nor the converted bytes")
    others = sorted(set(os.listdir(folder)) - {NAME})
    if others:
        problems.append(f"left behind: {others}")
    finished = process.returncode == 0 and digest(target) == converted
    if process.returncode != -interruption and not finished:
        problems.append(f"ended with status {process.returncode}, not {-interruption}")
    for name in others:
        os.remove(os.path.join(folder, name))
    return problems


if __name__ == "__main__":
    sys.exit(main())
