#!/usr/bin/python3
"""Kills sorabun-cli with SIGKILL at many moments of the conversion of a
large file and checks, after each kill, that the file holds exactly its
original bytes or exactly the converted bytes, and that whatever else is
left in the folder is the replacement file, recognisable by its name, which
a later run points out and leaves alone. After each kill a second run must
finish the job. A few more trials end the program with SIGTERM, SIGINT and
SIGHUP during the write: it must remove its replacement file and end with
the signal's status.

With --to the file is copied instead (sorabun-cli --to DIR): after each kill
the copy is absent, complete, or (where the file system has no exclusive
rename) an empty file reserving its name beside the complete copy under its
temporary name; the next run must leave the complete copy and nothing else.
--fat puts DIR on a FAT image mounted in user space (fusefat, as root),
where names are reserved, and adds a trial held by strace at the rename over
the reserved name, which the kill then interrupts.

Usage: kill_test.py PROGRAM [--trials N] [--size-mb M] [--dir FOLDER]
                            [--to] [--fat] [--min-during N]

The file lives on tmpfs (/dev/shm) when there is room, so that a trial takes
a fraction of a second. The kill moments are spread over the write as
measured in reference runs (from the replacement file's appearance to its
rename), with a few before and after it. Exits with 77 when --fat cannot
mount an image here.
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
MAX_TRIALS = 200
SKIPPED = 77


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


class InPlace:
    """The file converted where it is."""

    def __init__(self, program, folder):
        self.command = [program, "--yes", "--quiet", os.path.join(folder, NAME)]
        self.watched = folder  # where the new file appears
        self.target = os.path.join(folder, NAME)


class Copy:
    """The file copied into destination/music with --to."""

    def __init__(self, program, folder, destination):
        self.command = [program, "--quiet", "--to", destination, folder]
        self.watched = os.path.join(destination, os.path.basename(folder))
        self.target = os.path.join(self.watched, NAME)

    def reset(self):
        os.makedirs(self.watched, exist_ok=True)
        if os.path.exists(self.target):
            os.remove(self.target)


def timed_run(mode):
    """Runs a whole conversion, watching the folder: returns when the
    replacement file appeared, when it went, and when the process ended,
    in seconds from the start."""
    folder = mode.watched
    started = time.monotonic()
    process = subprocess.Popen(mode.command, stdout=subprocess.DEVNULL)
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


def mount_fat(root, size_mb):
    """A FAT image mounted in user space under root, as a stick holds it:
    its mount point, or None (with the reason printed) where that cannot be."""
    tools = ("fusefat", "fusermount", "mkfs.vfat")
    if not all(shutil.which(t) for t in tools) or not os.access("/dev/fuse", os.W_OK):
        print("skipped: fusefat, mkfs.vfat or /dev/fuse (as root) missing")
        return None
    image, mount = os.path.join(root, "fat.img"), os.path.join(root, "fat")
    with open(image, "wb") as f:
        f.truncate((3 * size_mb + 64) << 20)
    subprocess.run(["mkfs.vfat", "-F", "32", image], check=True, capture_output=True)
    os.mkdir(mount)
    # Served one request at a time, each removal done at once (see
    # tests/interop/copy_to.py).
    subprocess.run(["fusefat", "-s", "-o", "rw+,hard_remove", image, mount], check=True,
                   capture_output=True)
    return mount


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--trials", type=int, default=80)
    parser.add_argument("--size-mb", type=int, default=100)
    parser.add_argument("--dir")
    parser.add_argument("--to", action="store_true")
    parser.add_argument("--fat", action="store_true")
    parser.add_argument("--min-during", type=int, default=50)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    parent = pick_folder(args.dir, 8 * (args.size_mb + 1) << 20)

    with tempfile.TemporaryDirectory(prefix="sorabun-kill-", dir=parent) as root:
        mount = mount_fat(root, args.size_mb) if args.fat else None
        if args.fat and mount is None:
            return SKIPPED
        try:
            return trials(program, root, args, mount)
        finally:
            if mount:
                subprocess.run(["fusermount", "-u", mount], check=True)


def trials(program, root, args, mount):
    pristine = os.path.join(root, "original.mp3")
    make_large_file(pristine, args.size_mb)
    folder = os.path.join(root, "music")
    os.mkdir(folder)
    copying = args.to or args.fat
    if copying:
        mode = Copy(program, folder, mount or os.path.join(root, "stick"))
        shutil.copyfile(pristine, os.path.join(folder, NAME))
        # Long ago, so that only a copy given the source's time is up to date.
        os.utime(os.path.join(folder, NAME), (1577872800, 1577872800))
    else:
        mode = InPlace(program, folder)
    original = digest(pristine)

    # The converted bytes, and when a whole run writes.
    runs = []
    for _ in range(3):
        prepare(mode, pristine)
        runs.append(timed_run(mode))
    converted = digest(mode.target)
    size_saved = os.path.getsize(pristine) - os.path.getsize(mode.target)
    if converted == original or size_saved <= 0:
        print("the reference run did not convert the file")
        return 1
    appeared, gone, ended = (sorted(r[i] for r in runs)[1] for i in range(3))
    print(f"file {os.path.getsize(pristine)} bytes in {root}, converted with {size_saved} "
          f"bytes saved{' into a copy' if copying else ''}; a run writes from "
          f"{appeared * 1000:.1f} to {gone * 1000:.1f} ms and ends at {ended * 1000:.1f} ms")

    counts = {}
    leftovers = 0
    failures = 0
    during_write = []  # moments whose kill came while the replacement was written
    moments = kill_moments(appeared, gone, ended, args.trials)
    trial = 0
    while moments:
        delay = moments.pop(0)
        trial += 1
        prepare(mode, pristine)
        judge = judge_copy if copying else judge_in_place
        state, leftover, problems = kill_trial(mode, delay, original, converted, judge)
        counts[state] = counts.get(state, 0) + 1
        if leftover:
            leftovers += 1
            during_write.append(delay)
        print(f"trial {trial:3d}: kill after {delay * 1000:6.1f} ms: {state}"
              f"{', leftover replacement' if leftover else ''}: "
              f"{'FAILED' if problems else 'ok'}")
        for problem in problems:
            print(f"    {problem}")
        failures += bool(problems)
        # A busy machine moves the write: more moments where kills did
        # land in it, until enough have.
        if not moments and len(during_write) < args.min_during and trial < MAX_TRIALS:
            low, high = (min(during_write), max(during_write)) if during_write else (0, ended)
            extra = args.min_during - len(during_write) + 5
            moments = [low + (high - low) * (i + 0.5) / extra for i in range(extra)]

    if mount and shutil.which("strace"):
        prepare(mode, pristine)
        problems = reservation_trial(mode, converted)
        print(f"kill held at the rename over the reserved name: {'FAILED' if problems else 'ok'}")
        for problem in problems:
            print(f"    {problem}")
        trial += 1
        failures += bool(problems)

    # Catchable interruptions in the middle of the write.
    for i, interruption in enumerate((signal.SIGTERM, signal.SIGINT, signal.SIGHUP) * 3):
        delay = appeared + (gone - appeared) * (i + 1) / 10
        prepare(mode, pristine)
        problems = interrupt_trial(mode, delay, original, converted, interruption)
        print(f"{interruption.name} after {delay * 1000:6.1f} ms: "
              f"{'FAILED' if problems else 'ok'}")
        for problem in problems:
            print(f"    {problem}")
        trial += 1
        failures += bool(problems)

    states = ", ".join(f"{n} {s}" for s, n in sorted(counts.items()))
    print(f"{trial} kills: {states}; {leftovers} came during the write and left the "
          "replacement file")
    if len(during_write) < args.min_during:
        print(f"only {len(during_write)} kills came during the write")
        failures += 1
    print(f"{trial - failures} passed, {failures} failed")
    return 1 if failures else 0


def prepare(mode, pristine):
    """The file as it was before any run: the original in place, or no copy."""
    if isinstance(mode, Copy):
        mode.reset()
    else:
        shutil.copyfile(pristine, mode.target)


def judge_in_place(folder, original, converted):
    """What a kill left of the file converted in place: its state, the other
    names in the folder, and the problems."""
    target = os.path.join(folder, NAME)
    problems = []
    state = {original: "original", converted: "converted"}.get(digest(target), "other")
    if state == "other":
        problems.append(f"{NAME} holds neither the original nor the converted bytes "
                        f"({os.path.getsize(target)} bytes)")
    return state, sorted(set(os.listdir(folder)) - {NAME}), problems


def judge_copy(folder, original, converted):
    """What a kill left of a copy: absent, complete, or its name reserved by
    an empty file beside the complete copy under its temporary name."""
    target = os.path.join(folder, NAME)
    others = sorted(set(os.listdir(folder)) - {NAME})
    problems = []
    if not os.path.exists(target):
        state = "absent"
    elif digest(target) == converted:
        state = "converted"
    elif os.path.getsize(target) == 0 and any(
            LEFTOVER.fullmatch(n) and digest(os.path.join(folder, n)) == converted for n in others):
        state = "reserved"
    else:
        state = "other"
        problems.append(f"the copy is neither absent nor complete ({os.path.getsize(target)} "
                        "bytes)")
    return state, others, problems


def kill_trial(mode, delay, original, converted, judge):
    """One run killed after delay seconds, then checked, then run again.
    Returns the state the kill left, whether a replacement file was left,
    and the problems found."""
    process = subprocess.Popen(mode.command, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.send_signal(signal.SIGKILL)
    process.wait()
    folder = mode.watched
    state, others, problems = judge(folder, original, converted)
    strangers = [n for n in others if not LEFTOVER.fullmatch(n)]
    if strangers:
        problems.append(f"unexpected files: {strangers}")
    problems += run_after_kill(mode, others, converted)
    return state, bool(others) and not strangers, problems


def run_after_kill(mode, others, converted):
    """The run after a kill: in place, a folder run takes only the music
    file, points the leftover out without touching it and ends with the
    converted file; a copy run settles the leftovers and leaves the complete
    copy alone."""
    folder = mode.watched
    problems = []
    copying = isinstance(mode, Copy)
    command = mode.command if copying else mode.command[:-2] + [folder]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        problems.append(f"the run after the kill exited with {result.returncode}: "
                        f"{result.stdout}{result.stderr}")
    if digest(mode.target) != converted:
        problems.append("the run after the kill did not leave the converted bytes")
    remaining = sorted(set(os.listdir(folder)) - {NAME})
    if copying and remaining:
        problems.append(f"the run after the kill left {remaining} behind")
    if not copying:
        for name in others:
            if f"leftover: {os.path.join(folder, name)} " not in result.stdout:
                problems.append(f"the run after the kill did not point out {name}: "
                                f"{result.stdout}")
        if remaining != others:
            problems.append(f"the run after the kill left {remaining} behind, not {others}")
    for name in remaining:
        os.remove(os.path.join(folder, name))
    return problems


def reservation_trial(mode, converted):
    """A copy run held by strace at the rename over its reserved name, and
    killed there: the name holds an empty file beside the complete copy, and
    the next run completes the copy."""
    process = subprocess.Popen(["strace", "-f", "-o", os.devnull, "-e", "trace=renameat",
                                "-e", "inject=renameat:delay_enter=5000000"] + mode.command,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and not (
            os.path.exists(mode.target) and os.path.getsize(mode.target) == 0):
        time.sleep(0.01)
    children = subprocess.run(["pgrep", "-P", str(process.pid)], capture_output=True,
                              text=True).stdout.split()
    for child in children:
        os.kill(int(child), signal.SIGKILL)
    process.kill()
    process.wait()
    state, others, problems = judge_copy(mode.watched, None, converted)
    if state != "reserved":
        problems.append(f"the kill left the copy {state}, not its name reserved: {others}")
    result = subprocess.run(mode.command[:1] + ["--to"] + mode.command[3:], capture_output=True,
                            text=True)
    if f"completed: {mode.target} " not in result.stdout:
        problems.append(f"the run after the kill did not complete the copy: {result.stdout}")
    return problems + run_after_kill(mode, others, converted)


def interrupt_trial(mode, delay, original, converted, interruption):
    """One run interrupted with a catchable signal after delay seconds: the
    file (or its copy) must be whole or absent, no replacement file left,
    and the program must end with the signal's status."""
    process = subprocess.Popen(mode.command, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.send_signal(interruption)
    process.wait()
    problems = []
    target = mode.target
    whole = digest(target) in (original, converted) if os.path.exists(target) else \
        isinstance(mode, Copy)
    if not whole:
        problems.append(f"{NAME} holds neither the original nor the converted bytes")
    others = sorted(set(os.listdir(mode.watched)) - {NAME})
    if others:
        problems.append(f"left behind: {others}")
    finished = process.returncode == 0 and os.path.exists(target) and digest(target) == converted
    if process.returncode != -interruption and not finished:
        problems.append(f"ended with status {process.returncode}, not {-interruption}")
    for name in others:
        os.remove(os.path.join(mode.watched, name))
    return problems


if __name__ == "__main__":
    sys.exit(main())
