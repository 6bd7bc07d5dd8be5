#!/usr/bin/python3
"""sorabun-cli --to on the interop corpus, laid out as a library with names a
FAT stick cannot hold: the library must be untouched, every copy a valid
conversion (the checks of check.py) or the file as it was, every name safe
on FAT, a second run must write nothing, and (natively) runs killed part-way
must leave only complete copies and temporary files that the next run
removes as it completes the copy. Natively, on a FAT image mounted in user
space (fusefat), the folder entries must follow the natural order in which
the copies were written, a later run's album coming last.

Usage: copy_to.py CORPUS WORKDIR (--native CLI | --wine CLI.EXE [--wine-runner SCRIPT])
"""
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from check import arguments, check_file

TEMPORARY = re.compile(r"\.sorabun-[0-9a-v]{8}")
RECORD = ".sorabun-copies"  # which run made each copy differs from trial to trial
FAT_FORBIDDEN = re.compile(r'[\\/:*?"<>|\x00-\x1f\x7f]')
# Source names in the library, and the names their copies must have.
RENAMES = {
    "2 Song?.mp3": "2 Song_.mp3",
    "CON.mp3": "CON_.mp3",
    "Ends with a dot..mp3": None,  # the extension keeps the name whole
    "한국 노래.mp3": None,  # outside code page 932: Windows must keep it too
    "Emoji 🎵.mp3": None,
    "10 Song.mp3": None,
    "Disc: 2": "Disc_ 2",
    "Trailing dot.": "Trailing dot_",
}


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def tree(root):
    """Every file under root by its path relative to root, the record of the
    copies made left out."""
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if folder == root and name == RECORD:
                continue
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root)] = path
    return found


def make_library(corpus, entries, library, windows):
    """The corpus files in a library of two discs and a folder whose name
    ends in a dot; the names above take the first files. Windows holds no
    name that FAT cannot (Wine shows such names mangled), so its library has
    only the names outside code page 932. Returns each source's relative
    path, the relative path its copy must have, and its manifest entry."""
    folders = [("Disc 1", "Disc 1"), ("Disc: 2", "Disc_ 2"), ("Trailing dot.", "Trailing dot_")]
    special = [n for n in RENAMES if n.endswith(".mp3")]
    if windows:
        folders = folders[:1]
        special = [n for n in special if RENAMES[n] is None and not n.endswith("..mp3")]
    layout = []
    for i, entry in enumerate(entries):
        folder, copy_folder = folders[i % len(folders)]
        name = special[i] if i < len(special) else entry["name"]
        copy_name = RENAMES.get(name) or name
        os.makedirs(os.path.join(library, folder), exist_ok=True)
        shutil.copyfile(os.path.join(corpus, entry["name"]), os.path.join(library, folder, name))
        layout.append((os.path.join(folder, name), os.path.join("Car", copy_folder, copy_name),
                       entry))
    with open(os.path.join(library, "Disc 1", "cover.jpg"), "wb") as f:
        f.write(b"\xff\xd8 not an mp3")
    return layout


def fat_problems(destination):
    problems = []
    for folder, subfolders, names in os.walk(destination):
        folded = set()
        for name in names + subfolders:
            if (FAT_FORBIDDEN.search(name) or name[-1] in ". "
                    or len(name.encode("utf-16-le")) > 510):
                problems.append(f"not a FAT name: {os.path.join(folder, name)!r}")
            if name.upper() in folded:
                problems.append(f"two names FAT takes for one: {os.path.join(folder, name)!r}")
            folded.add(name.upper())
    return problems


def snapshot(root):
    return {rel: (os.stat(p).st_ino, os.stat(p).st_mtime_ns, os.stat(p).st_size)
            for rel, p in tree(root).items()}


def run(command, workdir, destination, wait=True):
    arguments = command + ["--to", destination, "--recursive", "--all-files",
                           os.path.join("library", "Car")]
    if not wait:
        return subprocess.Popen(arguments, cwd=workdir, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    return subprocess.run(arguments, cwd=workdir, capture_output=True, text=True,
                          errors="replace")


def check_copies(workdir, layout, library):
    destination = os.path.join(workdir, "stick")
    problems = []
    for source, copy, entry in layout:
        copy_path = os.path.join(destination, copy)
        if not os.path.exists(copy_path):
            problems.append(f"no copy of {source} at {copy}")
            continue
        # The same bytes as check.py's conversions, whose audio it decodes.
        _, found = check_file(os.path.join(library, source), copy_path, entry, decode_audio=False)
        problems += [f"{copy}: {p}" for p in found]
    with open(os.path.join(library, "Disc 1", "cover.jpg"), "rb") as f:
        cover = f.read()
    with open(os.path.join(destination, "Car", "Disc 1", "cover.jpg"), "rb") as f:
        if f.read() != cover:
            problems.append("cover.jpg was not copied as it is")
    return problems + fat_problems(destination)


def kill_trials(command, workdir, library, trials=8):
    """Runs killed at moments spread over a whole run's time, each followed
    by a run that must complete the copy."""
    destination = os.path.join(workdir, "killed")
    with open(os.path.join(library, "Disc 1", "0 large.mp3"), "wb") as f:
        f.write(b"ID3\x03\0\0\0\0\0\x20" + bytes(0x20) + os.urandom(1 << 20) * 40)
    shutil.rmtree(destination, ignore_errors=True)
    started = time.monotonic()
    run(command, workdir, "killed")
    duration = time.monotonic() - started
    complete = {rel: digest(p) for rel, p in tree(destination).items()}
    problems = []
    for trial in range(trials):
        shutil.rmtree(destination)
        process = run(command, workdir, "killed", wait=False)
        time.sleep(duration * (trial + 0.5) / trials)
        process.send_signal(signal.SIGKILL)
        process.wait()
        left = tree(destination) if os.path.isdir(destination) else {}
        for rel, path in left.items():
            if TEMPORARY.fullmatch(os.path.basename(rel)):
                continue
            if complete.get(rel) != digest(path):
                problems.append(f"trial {trial}: {rel} is not a complete copy")
        result = run(command, workdir, "killed")
        after = {rel: digest(p) for rel, p in tree(destination).items()}
        if after != complete:
            problems.append(f"trial {trial}: the run after the kill left {sorted(set(after) ^ set(complete))} "
                            f"or other bytes ({result.stdout})")
    os.remove(os.path.join(library, "Disc 1", "0 large.mp3"))
    return problems


def bare_listing(image, folder):
    """The entries of a folder on a FAT image in the order of its directory."""
    result = subprocess.run(["mdir", "-i", image, "-b", "::" + folder], check=True,
                            capture_output=True, text=True, env=dict(os.environ, MTOOLS_SKIP_CHECK="1"))
    return [line.rstrip("/").rsplit("/", 1)[-1] for line in result.stdout.splitlines() if line]


def fat_order(command, workdir, corpus, entry):
    tools = ("fusefat", "fusermount", "mkfs.vfat", "mdir")
    if not all(shutil.which(t) for t in tools) or not os.access("/dev/fuse", os.W_OK):
        print("copy to a stick: no FAT image: fusefat, mtools or /dev/fuse missing")
        return []
    image, mount = os.path.join(workdir, "fat.img"), os.path.join(workdir, "fat")
    with open(image, "wb") as f:
        f.truncate(64 << 20)
    subprocess.run(["mkfs.vfat", "-F", "32", image], check=True, capture_output=True)
    os.makedirs(mount)
    names = [f"{n} Song{' x' * (n % 7 * 5)}.mp3" for n in (1, 2, 3, 9, 10, 11, 12, 20, 100)]
    albums = ["Album 2", "Album 10", "Album 1"]
    for album in albums:
        os.makedirs(os.path.join(workdir, "fatlibrary", "Car", album))
        for name in names:
            shutil.copyfile(os.path.join(corpus, entry["name"]),
                            os.path.join(workdir, "fatlibrary", "Car", album, name))
    # FUSE's own ways, which a FAT driver in the kernel does not have, are
    # turned off so that the directory ends as a stick's would: a file
    # replaced while the kernel's asynchronous release of it is still pending
    # is otherwise kept under a longer ".fuse_hidden..." name, whose entry
    # takes other slots (hard_remove); and requests are served one at a time
    # (-s), as fusefat's FAT code expects.
    subprocess.run(["fusefat", "-s", "-o", "rw+,hard_remove", image, mount], check=True,
                   capture_output=True)
    try:
        for later in (albums[2], None):  # the last album comes with a second run
            album = os.path.join(workdir, "fatlibrary", "Car", later or "")
            held = os.path.join(workdir, "held back")
            if later:
                os.rename(album, held)
            subprocess.run(command + ["-q", "--to", os.path.join(mount, "Music"), "-r",
                                      os.path.join(workdir, "fatlibrary", "Car")], check=True)
            if later:
                os.rename(held, album)
    finally:
        subprocess.run(["fusermount", "-u", mount], check=True)
    problems = []
    if bare_listing(image, "/Music/Car") != albums:
        problems.append(f"FAT folder order {bare_listing(image, '/Music/Car')}, not {albums}")
    for album in albums:
        if bare_listing(image, f"/Music/Car/{album}") != names:
            problems.append(f"FAT entry order in {album}: {bare_listing(image, '/Music/Car/' + album)}")
    return problems


def main():
    args, entries = arguments()
    if args.native:
        command = [os.path.abspath(args.native)]
    else:
        command = [os.path.abspath(args.wine_runner), os.path.abspath(args.wine)]
    workdir = os.path.abspath(args.workdir)
    shutil.rmtree(workdir, ignore_errors=True)
    library = os.path.join(workdir, "library", "Car")
    layout = make_library(args.corpus, entries, library, args.wine is not None)
    before = {rel: digest(p) for rel, p in tree(library).items()}

    problems = []
    first = run(command, workdir, "stick")
    if first.returncode != 0:
        problems.append(f"the copy exited with {first.returncode}: {first.stdout}{first.stderr}")
    problems += check_copies(workdir, layout, library)
    copied = snapshot(os.path.join(workdir, "stick"))
    second = run(command, workdir, "stick")
    if snapshot(os.path.join(workdir, "stick")) != copied or second.returncode != 0:
        problems.append(f"the second run wrote something: {second.stdout}")
    if args.native:
        problems += kill_trials(command, workdir, library)
        problems += fat_order(command, workdir, args.corpus, entries[0])
    if {rel: digest(p) for rel, p in tree(library).items()} != before:
        problems.append("the library changed")
    for problem in problems:
        print(problem)
    checked = len(layout) + 4
    print(f"copy to a stick: {checked - len(problems)} passed, {len(problems)} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
