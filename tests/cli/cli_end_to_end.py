#!/usr/bin/env python3
"""sorabun-cli end to end: the built program on real files in temporary
folders, as a user or a script runs it.

Usage: cli_end_to_end.py [--runner WRAPPER] PROGRAM [unittest names...]
With --runner (the Wine wrapper) PROGRAM is the Windows build.
"""
import argparse
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM = None
RUNNER = None


def synchsafe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


def frame(identifier, data):
    """A version 3 frame: plain 32-bit size, no flags."""
    return identifier.encode("ascii") + len(data).to_bytes(4, "big") + b"\0\0" + data


AUDIO = bytes([0xFF, 0xFB, 0x90, 0x64]) * 2000


def tag(frames, padding=32, major=3, revision=0, flags=0, audio=AUDIO):
    body = b"".join(frames) + bytes(padding)
    return b"ID3" + bytes([major, revision, flags]) + synchsafe(len(body)) + body + audio


def utf16(text):
    return b"\x01\xff\xfe" + text.encode("utf-16-le") + b"\0\0"


def single_byte(data):
    return b"\x00" + data


# A song as Windows tags it (UTF-16), and what the conversion makes of it: é
# becomes the look-alike e, the wave dash '?', the kana their code page 932
# bytes, and the artist loses its terminator.
SONG = tag([frame("TIT2", utf16("Café 〜 あい")), frame("TPE1", single_byte(b"abc\0"))])
CONVERTED = tag([frame("TIT2", single_byte(b"Cafe ? " + "あい".encode("cp932"))),
                 frame("TPE1", single_byte(b"abc"))])
SAVED = len(SONG) - len(CONVERTED)
NO_TAG = AUDIO
REFUSED = tag([frame("TIT2", utf16("x"))], major=4, revision=1)
DAMAGED = b"ID3\x03\x00\x00" + synchsafe(50000) + AUDIO[:100]
UNSUPPORTED = tag([frame("TIT2", utf16("x"))], flags=0x80)


# The characters code page 932 turns into '?' that have JIS look-alikes (the
# wave dash, the minus sign, the double vertical line, the em dash), and
# what --fold makes of them.
LOOK_ALIKES = tag([frame("TIT2", utf16("〜−‖—é"))])
FOLDED = tag([frame("TIT2", single_byte(b"\x81\x60\x81\x7c\x81\x61\x81\x5ce"))])
FOLD_TEXTS = {  # by language: the dry run's line after, without and with --fold; the count
    False: ("after:  [?][?][?][?][e]\n", "after:  [～][－][∥][―][e]\n",
            "4 characters would become '?'; --fold keeps them as look-alikes"),
    True: ("変換後: [?][?][?][?][e]\n", "変換後: [～][－][∥][―][e]\n",
           "4 文字が '?' になります。--fold を付けると"),
}


def check_fold(test, japanese):
    """--fold in place and for copies; the dry run counts what it would keep."""
    plain, folded, count = FOLD_TEXTS[japanese]
    folder = Folder(test)
    folder.write("song.mp3", LOOK_ALIKES)
    status, out, err = run(["-n", "song.mp3"], folder.path)
    test.assertEqual(status, 0, err)
    test.assertIn(plain, out)
    test.assertIn(count, out)
    status, out, err = run(["-n", "--fold", "song.mp3"], folder.path)
    test.assertIn(folded, out)
    test.assertNotIn("--fold", out)
    status, out, err = run(["-n", "--to", "stick", "song.mp3"], folder.path)
    test.assertIn(count, out)
    status, out, err = run(["--fold", "--to", "stick", "song.mp3"], folder.path)
    test.assertEqual(status, 0, out + err)
    test.assertEqual(folder.read("stick/song.mp3"), FOLDED)
    status, out, err = run(["-y", "--fold", "song.mp3"], folder.path)
    test.assertEqual(status, 0, out + err)
    test.assertEqual(folder.read("song.mp3"), FOLDED)


def english():
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANG"}
    env["LANG"] = "C.UTF-8"
    return env


def run(arguments, cwd, stdin=subprocess.DEVNULL, env=None):
    command = ([RUNNER] if RUNNER else []) + [PROGRAM] + arguments
    result = subprocess.run(command, cwd=cwd, stdin=stdin, capture_output=True,
                            env=english() if env is None else env, timeout=300)
    encoding = "cp932" if RUNNER else "utf-8"
    out = result.stdout.decode(encoding).replace("\r\n", "\n")
    err = result.stderr.decode(encoding).replace("\r\n", "\n")
    return result.returncode, out, err


class Folder:
    """A temporary folder with files written from bytes."""

    def __init__(self, test):
        self.path = tempfile.mkdtemp(prefix="sorabun-cli-")
        test.addCleanup(self.remove)

    def remove(self):
        for root, folders, _ in os.walk(self.path):
            for name in folders:
                try:
                    os.chmod(os.path.join(root, name), 0o755)
                except OSError:
                    pass  # too deep for a path; rmtree works through folders
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, data):
        path = self.file(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        return path

    def read(self, name):
        with open(self.file(name), "rb") as source:
            return source.read()

    def names(self):
        found = []
        for root, _, files in os.walk(self.path):
            found += [os.path.relpath(os.path.join(root, f), self.path) for f in files]
        return sorted(found)


def check_copies_never_land_in_a_copied_folder(test):
    """--to inside a folder that -r copies is refused before anything is read
    or written; outside it, or without -r, the copy goes ahead."""
    folder = Folder(test)
    folder.write("lib/A/song.mp3", SONG)
    cases = [  # (arguments, status, folder that must not exist afterwards)
        (["--to", "lib/stick", "-r", "lib"], 2, "lib/stick"),
        (["--to", "lib/A/new", "-r", "lib"], 2, "lib/A/new"),
        (["--to", "lib", "-r", "lib/A/.."], 2, "lib/lib"),
        (["--to", "lib/A", "-r", "lib/A"], 2, "lib/A/A"),
        (["--to", "lib/stick", "lib"], 0, None),
        (["--to", "stick", "-r", "lib"], 0, None),
    ]
    for arguments, expected, absent in cases:
        with test.subTest(arguments=arguments):
            status, out, err = run(["-q"] + arguments, folder.path)
            test.assertEqual(status, expected, out + err)
            if absent:
                test.assertIn("--to", err)
                test.assertFalse(os.path.exists(folder.file(absent)))


class CliEndToEnd(unittest.TestCase):
    def test_a_batch_reports_each_outcome_and_its_exit_status(self):
        folder = Folder(self)
        files = {"a-song.mp3": SONG, "b-done.mp3": CONVERTED, "c-plain.mp3": NO_TAG,
                 "d-new.mp3": REFUSED}
        for name, data in files.items():
            folder.write(name, data)
        status, out, err = run(["-y", "."], folder.path)
        self.assertEqual(status, 0, out + err)
        lines = out.splitlines()
        self.assertEqual(lines, [
            f"converted: ./a-song.mp3 ({SAVED} bytes saved)",
            "already in code page 932: ./b-done.mp3",
            "no ID3v2 tag: ./c-plain.mp3",
            "refused version: ./d-new.mp3 (ID3v2.4.1)",
            "4 files: 1 converted, 1 already in code page 932, 1 without tag, 1 refused version",
        ])
        self.assertEqual(folder.read("a-song.mp3"), CONVERTED)
        for name in ("b-done.mp3", "c-plain.mp3", "d-new.mp3"):
            self.assertEqual(folder.read(name), files[name])

        # Damaged and unsupported tags are skipped, left as they were, and
        # make the exit status 1; so does a path that does not exist.
        folder.write("e-broken.mp3", DAMAGED)
        folder.write("f-odd.mp3", UNSUPPORTED)
        folder.write("a-song.mp3", SONG)
        status, out, _ = run(["-y", ".", "missing.mp3"], folder.path)
        self.assertEqual(status, 1)
        self.assertIn("failed: missing.mp3 (not found)", out)
        self.assertIn("damaged: ./e-broken.mp3 (the tag runs past the end of the file)", out)
        self.assertIn("unsupported: ./f-odd.mp3 (unsynchronised tag)", out)
        self.assertTrue(out.endswith("7 files: 1 converted, 1 already in code page 932, "
                                     "1 without tag, 1 refused version, 1 unsupported, "
                                     "1 damaged, 1 failed\n"), out)
        self.assertEqual(folder.read("a-song.mp3"), CONVERTED)
        self.assertEqual(folder.read("e-broken.mp3"), DAMAGED)
        self.assertEqual(folder.read("f-odd.mp3"), UNSUPPORTED)

        # Quiet: only what needs attention, no summary.
        status, out, _ = run(["-yq", "."], folder.path)
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines(), [
            "damaged: ./e-broken.mp3 (the tag runs past the end of the file)",
            "unsupported: ./f-odd.mp3 (unsynchronised tag)"])

    def test_a_dry_run_writes_nothing_and_marks_what_would_be_lost(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG)
        folder.write("done.mp3", CONVERTED)
        before = {name: folder.read(name) for name in folder.names()}
        status, out, err = run(["--dry-run", "."], folder.path)
        self.assertEqual(status, 0, err)
        self.assertEqual(out, "already in code page 932: ./done.mp3\n"
                              f"would convert: ./song.mp3 ({SAVED} bytes saved)\n"
                              "  TIT2  before: Café 〜 あい\n"
                              "        after:  Caf[e] [?] あい\n"
                              "  TPE1  before: abc\n"
                              "        after:  abc\n"
                              "[ ] marks characters that code page 932 cannot hold: they become "
                              "'?' or a look-alike.\n"
                              "1 character would become '?'; --fold keeps it as a look-alike "
                              "(the wave dash and the like).\n"
                              "2 files: 1 would convert, 1 already in code page 932\n")
        self.assertEqual({name: folder.read(name) for name in folder.names()}, before)
        # Without a terminal a dry run still runs: it asks nothing.
        status, out, _ = run(["-n", "-b", "song.mp3"], folder.path,
                             env=dict(english(), LANG="ja_JP.UTF-8"))
        self.assertEqual(status, 0)
        self.assertIn("        変換後: Caf[e] [?] あい\n", out)
        self.assertEqual(folder.names(), ["done.mp3", "song.mp3"])

    def test_fold_writes_look_alikes_and_the_dry_run_counts_them(self):
        check_fold(self, japanese=False)

    def test_folders_give_their_mp3_files_in_any_letter_case_and_recursion_adds_subfolders(self):
        folder = Folder(self)
        for name in ("top/One.MP3", "top/two.Mp3", "top/notes.txt", "top/inner/three.mp3",
                     "top/inner/deeper/four.mp3", "top/mp3"):
            folder.write(name, SONG)
        status, out, _ = run(["-y", "top"], folder.path)
        self.assertEqual(status, 0)
        self.assertEqual([l.split(" (")[0] for l in out.splitlines()[:-1]],
                         ["converted: top/One.MP3", "converted: top/two.Mp3"])
        self.assertEqual(folder.read("top/inner/three.mp3"), SONG)
        status, out, _ = run(["-y", "--recursive", "top"], folder.path)
        self.assertEqual(status, 0)
        self.assertIn("converted: top/inner/three.mp3", out)
        self.assertIn("converted: top/inner/deeper/four.mp3", out)
        self.assertIn("already in code page 932: top/One.MP3", out)
        for name in ("top/inner/three.mp3", "top/inner/deeper/four.mp3"):
            self.assertEqual(folder.read(name), CONVERTED)
        # Files that are not MP3 by name are left alone in folders, but a file
        # named on the command line is converted whatever its name.
        self.assertEqual(folder.read("top/notes.txt"), SONG)
        self.assertEqual(folder.read("top/mp3"), SONG)
        status, _, _ = run(["-y", "top/notes.txt"], folder.path)
        self.assertEqual(folder.read("top/notes.txt"), CONVERTED)

    def test_without_a_terminal_or_yes_nothing_is_written(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG)
        folder.write("done.mp3", CONVERTED)
        status, out, err = run(["."], folder.path)
        self.assertEqual(status, 2)
        self.assertEqual(out, "")
        self.assertIn("1 file would be converted, but standard input is not a terminal", err)
        self.assertIn("--yes", err)
        self.assertEqual(folder.read("song.mp3"), SONG)
        self.assertEqual(folder.names(), ["done.mp3", "song.mp3"])
        # Nothing to convert: nothing to ask.
        status, out, _ = run(["done.mp3"], folder.path)
        self.assertEqual(status, 0)
        self.assertIn("already in code page 932", out)

    def test_one_question_on_a_terminal_for_the_whole_run(self):
        folder = Folder(self)
        for name in ("a.mp3", "b.mp3"):
            folder.write(name, SONG)
        folder.write("c.mp3", CONVERTED)
        for answer, status_wanted, content in (("n", 1, SONG), ("yes", 0, CONVERTED)):
            master, slave = pty.openpty()
            try:
                os.write(master, (answer + "\n").encode())
                status, out, _ = run(["."], folder.path, stdin=slave)
            finally:
                os.close(master)
                os.close(slave)
            self.assertEqual(status, status_wanted, out)
            self.assertEqual(out.count("Continue? [y/N]"), 1)
            self.assertIn("2 of 3 files will be converted. This cannot be undone.", out)
            self.assertEqual(folder.read("a.mp3"), content)
            self.assertEqual(folder.read("b.mp3"), content)
        self.assertIn("converted: ./b.mp3", out)

    def test_a_file_that_cannot_be_converted_fails_alone(self):
        folder = Folder(self)
        for name in ("a.mp3", "b.mp3", "c.mp3"):
            folder.write(name, SONG)
        # A second name for b.mp3: a new file would split the two names.
        os.link(folder.file("b.mp3"), folder.file("b-other-name"))
        status, out, _ = run(["-y", "."], folder.path)
        self.assertEqual(status, 1)
        self.assertIn("failed: ./b.mp3 (it has other names (hard links), which a conversion "
                      "would split)", out)
        self.assertEqual(folder.read("a.mp3"), CONVERTED)
        self.assertEqual(folder.read("b.mp3"), SONG)
        self.assertEqual(folder.read("c.mp3"), CONVERTED)
        self.assertTrue(out.endswith("3 files: 2 converted, 1 failed\n"), out)

    @unittest.skipIf(os.name != "posix", "POSIX permissions")
    def test_folders_without_permissions_fail_among_writable_ones(self):
        folder = Folder(self)
        folder.write("open/a.mp3", SONG)
        folder.write("locked/b.mp3", SONG)
        folder.write("unsearchable/c.mp3", SONG)
        folder.write("unreadable/d.mp3", SONG)
        command = [PROGRAM]
        if os.geteuid() == 0:
            # The superuser writes anywhere: run as a user without privileges,
            # from a copy of the program that user can reach wherever the
            # build lies.
            if not shutil.which("setpriv"):
                self.skipTest("running as root without setpriv")
            shutil.chown(folder.path, "nobody", "nogroup")
            for root, folders, files in os.walk(folder.path):
                for name in folders + files:
                    shutil.chown(os.path.join(root, name), "nobody", "nogroup")
            programFolder = tempfile.mkdtemp(prefix="sorabun-cli-bin-")
            self.addCleanup(shutil.rmtree, programFolder, True)
            os.chmod(programFolder, 0o755)
            program = shutil.copy(PROGRAM, programFolder)
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                       program]
            os.chmod(folder.path, 0o755)
        os.chmod(folder.file("locked"), 0o555)
        os.chmod(folder.file("unsearchable"), 0o644)  # its entries cannot be examined
        os.chmod(folder.file("unreadable"), 0o311)
        result = subprocess.run(command + ["-y", "-r", "."], cwd=folder.path,
                                env=english(), capture_output=True, stdin=subprocess.DEVNULL)
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 1, out + result.stderr.decode())
        self.assertIn("failed: ./locked/b.mp3 (cannot be written: permission denied; the file is "
                      "as it was)", out)
        self.assertIn("failed: ./unsearchable/c.mp3 (cannot be examined: permission denied)", out)
        self.assertIn("failed: ./unreadable (the folder cannot be read: permission denied)", out)
        self.assertTrue(out.endswith("4 files: 1 converted, 3 failed\n"), out)
        self.assertEqual(folder.read("open/a.mp3"), CONVERTED)
        self.assertEqual(folder.read("locked/b.mp3"), SONG)

    def test_backup_keeps_the_original_and_is_never_overwritten(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG)
        status, out, _ = run(["-y", "--backup", "song.mp3"], folder.path)
        self.assertEqual(status, 0, out)
        self.assertEqual(folder.read("song.mp3"), CONVERTED)
        self.assertEqual(folder.read("song.mp3.bak"), SONG)
        # Tagged again: the backup from before must survive, so the file is refused.
        folder.write("song.mp3", SONG + b"again")
        status, out, _ = run(["-y", "-b", "song.mp3"], folder.path)
        self.assertEqual(status, 1)
        self.assertIn("failed: song.mp3 (a backup NAME.mp3.bak already exists", out)
        self.assertEqual(folder.read("song.mp3"), SONG + b"again")
        self.assertEqual(folder.read("song.mp3.bak"), SONG)
        self.assertEqual(folder.names(), ["song.mp3", "song.mp3.bak"])
        # A dry run foresees the refusal.
        status, out, _ = run(["-n", "-b", "song.mp3"], folder.path)
        self.assertEqual(status, 1)
        self.assertIn("a backup NAME.mp3.bak already exists", out)

    def test_keep_time_keeps_the_modification_time(self):
        folder = Folder(self)
        for written in (1000000000123456789, -1000000000123456789):
            for name in ("kept.mp3", "new.mp3"):
                folder.write(name, SONG)
                os.utime(folder.file(name), ns=(written, written))
            run(["-y", "--keep-time", "kept.mp3"], folder.path)
            run(["-y", "new.mp3"], folder.path)
            self.assertEqual(folder.read("kept.mp3"), CONVERTED)
            self.assertEqual(os.stat(folder.file("kept.mp3")).st_mtime_ns, written)
            self.assertGreater(os.stat(folder.file("new.mp3")).st_mtime_ns, 1000000000123456789)

    def test_names_and_tag_texts_are_shown_with_control_characters_escaped(self):
        folder = Folder(self)
        folder.write("a\nconverted: forged.mp3", SONG)
        folder.write("\x1b[31mred.mp3", tag([frame("TIT2", utf16("x\x1b[2Jy"))]))
        folder.write("kept.mp3", tag([frame("TIT2", single_byte(b"p\x07q"))]))
        # Names that would pass for others: turned around, or holding an escape.
        folder.write("bidi\u202egpj.mp3", tag([frame("TIT2", utf16("\u2067r\\x1B"))]))
        status, out, _ = run(["-n", "."], folder.path)
        self.assertEqual(status, 0, out)
        self.assertNotRegex(out, "[\x00-\x09\x0b-\x1f\x7f\u200e\u200f\u2028-\u202e\u2066-\u2069]")
        self.assertIn("would convert: ./\\x1B[31mred.mp3", out)
        self.assertIn("would convert: ./a\\nconverted: forged.mp3", out)
        self.assertIn("  TIT2  before: x\\x1B[2Jy\n        after:  x\\x1B[2Jy\n", out)
        self.assertIn("already in code page 932: ./kept.mp3", out)
        self.assertIn("would convert: ./bidi\\u202Egpj.mp3", out)
        self.assertIn("  TIT2  before: \\u2067r\\\\x1B\n", out)
        self.assertEqual(len([l for l in out.splitlines() if l.startswith("would convert")]), 3)
        status, out, _ = run(["--info", "bidi\u202egpj.mp3"], folder.path)
        self.assertIn("would convert: bidi\\u202Egpj.mp3 (", out)
        self.assertIn("  UTF-16    \\u2067r\\\\x1B\n", out)

    def test_a_report_that_cannot_be_written_fails_the_run(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG)
        with open("/dev/full", "wb") as full:
            result = subprocess.run([PROGRAM, "-y", "song.mp3"], cwd=folder.path, stdout=full,
                                    stderr=subprocess.PIPE, env=english())
        self.assertEqual(result.returncode, 1)
        self.assertIn("the report could not be written to standard output", result.stderr.decode())
        self.assertEqual(folder.read("song.mp3"), CONVERTED)

    def test_a_tree_deeper_than_any_path_is_walked(self):
        folder = Folder(self)
        # 20 folders of 250 bytes: the file's path is past 5000 bytes.
        handle = os.open(folder.path, os.O_RDONLY)
        names = [f"{i:02d}" + "d" * 248 for i in range(20)]
        for name in names:
            os.mkdir(name, dir_fd=handle)
            inner = os.open(name, os.O_RDONLY, dir_fd=handle)
            os.close(handle)
            handle = inner
        song = os.open("deep.mp3", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=handle)
        os.write(song, SONG)
        os.close(song)
        status, out, _ = run(["-y", "-r", "."], folder.path)
        self.assertEqual(out, "converted: ./" + "/".join(names) + f"/deep.mp3 ({SAVED} bytes saved)\n"
                              "1 file: 1 converted\n")
        song = os.open("deep.mp3", os.O_RDONLY, dir_fd=handle)
        self.assertEqual(os.read(song, len(SONG)), CONVERTED)
        os.close(song)
        os.close(handle)

    def test_a_tree_deeper_than_the_open_file_limit_is_walked_and_copied(self):
        import resource
        folder = Folder(self)
        handle = os.open(folder.path, os.O_RDONLY)
        for _ in range(150):
            os.mkdir("d", dir_fd=handle)
            inner = os.open("d", os.O_RDONLY, dir_fd=handle)
            os.close(handle)
            handle = inner
        song = os.open("deep.mp3", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=handle)
        os.write(song, SONG)
        os.close(song)
        os.close(handle)
        limit = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (32, 32))
        for arguments in (["-q", "--to", "stick", "-r", "d"], ["-q", "-y", "-r", "d"]):
            result = subprocess.run([PROGRAM] + arguments, cwd=folder.path, env=english(),
                                    capture_output=True, preexec_fn=limit)
            self.assertEqual((result.returncode, result.stdout), (0, b""), arguments)
        for top in ("d", "stick/d"):
            handle = os.open(folder.file(top), os.O_RDONLY)
            for _ in range(149):
                inner = os.open("d", os.O_RDONLY, dir_fd=handle)
                os.close(handle)
                handle = inner
            song = os.open("deep.mp3", os.O_RDONLY, dir_fd=handle)
            self.assertEqual(os.read(song, len(SONG)), CONVERTED, top)
            os.close(song)
            os.close(handle)

    def test_two_runs_at_once_never_damage_a_file(self):
        folder = Folder(self)
        big = tag([frame("TIT2", utf16("Café 〜 あい"))], audio=AUDIO * 1000)
        converted = tag([frame("TIT2", single_byte(b"Cafe ? " + "あい".encode("cp932")))],
                        audio=AUDIO * 1000)
        expected = re.compile(r"(converted|already in code page 932|failed): big\.mp3"
                              r"( \(\d+ bytes saved\)| \(cannot be opened: in use by another "
                              r"program\)| \(changed by another program meanwhile; nothing "
                              r"written\))?\n")
        for _ in range(10):
            folder.write("big.mp3", big)
            runs = [subprocess.Popen([PROGRAM, "-yq", "big.mp3"], cwd=folder.path, env=english(),
                                     stdout=subprocess.PIPE) for _ in range(2)]
            for process in runs:
                out = process.communicate()[0].decode()
                self.assertTrue(out == "" or expected.fullmatch(out), out)
            self.assertEqual(folder.read("big.mp3"), converted)
            self.assertEqual(folder.names(), ["big.mp3"])

    def test_the_report_tells_each_files_state_after_the_question(self):
        folder = Folder(self)
        folder.write("a.mp3", SONG)
        folder.write("b.mp3", CONVERTED)
        master, slave = pty.openpty()
        process = subprocess.Popen([PROGRAM, "."], cwd=folder.path, env=english(), stdin=slave,
                                   stdout=subprocess.PIPE)
        asked = b""
        while b"Continue? [y/N] " not in asked:
            asked += os.read(process.stdout.fileno(), 4096)
        folder.write("b.mp3", SONG)  # tagged again by another program meanwhile
        os.write(master, b"y\n")
        out = process.communicate(timeout=60)[0].decode()
        os.close(master)
        os.close(slave)
        self.assertEqual(process.returncode, 1)
        self.assertIn(f"converted: ./a.mp3 ({SAVED} bytes saved)\n"
                      "failed: ./b.mp3 (changed by another program meanwhile; nothing written)\n",
                      out)
        self.assertEqual(folder.read("b.mp3"), SONG)

    def test_copies_never_land_in_a_copied_folder(self):
        check_copies_never_land_in_a_copied_folder(self)

    def test_leftovers_where_copies_go_are_removed_only_when_provably_the_programs(self):
        folder = Folder(self)
        folder.write("lib/a.mp3", SONG)
        folder.write("stick/lib/.sorabun-aaaaaaaa", SONG[:100])  # a copy killed part-way
        folder.write("stick/lib/.sorabun-cccccccc", b"notes")
        os.mkfifo(folder.file("stick/lib/.sorabun-ffffffff"))
        status, out, _ = run(["--to", "stick", "lib"], folder.path)
        self.assertEqual(status, 0, out)
        for line in ("removed: stick/lib/.sorabun-aaaaaaaa (a temporary file of an interrupted copy)",
                     "leftover: stick/lib/.sorabun-cccccccc (not removed: it holds no MP3, so "
                     "nothing shows that this program left it)",
                     "leftover: stick/lib/.sorabun-ffffffff (not a regular file)",
                     "copied: lib/a.mp3 (converted, "):
            self.assertIn(line, out)
        self.assertEqual(sorted(os.listdir(folder.file("stick/lib"))),
                         [".sorabun-cccccccc", ".sorabun-ffffffff", "a.mp3"])

    @unittest.skipIf(os.name != "posix" or os.geteuid() != 0, "another user's links: as root")
    def test_another_users_link_in_a_shared_folder_is_not_followed(self):
        import pwd
        folder = Folder(self)
        folder.write("R/song.mp3", SONG)
        folder.write("R/s.txt", b"secret")
        os.chmod(folder.file("R"), 0o700)
        os.mkdir(folder.file("S"))
        os.chmod(folder.file("S"), 0o1777)
        for name, target in (("x.mp3", "R/song.mp3"), ("notes.txt", "R/s.txt")):
            os.symlink(folder.file(target), folder.file("S/" + name))
            os.lchown(folder.file("S/" + name), pwd.getpwnam("nobody").pw_uid, -1)
        cause = "a link another user made in a folder all may write (sticky): not followed"
        for arguments in (["-y", "S/x.mp3"], ["-y", "S"]):
            status, out, _ = run(arguments, folder.path)
            self.assertEqual((status, out), (1, f"failed: S/x.mp3 ({cause})\n1 file: 1 failed\n"))
        status, out, _ = run(["-q", "--to", "stick", "--all-files", "S"], folder.path)
        self.assertEqual((status, out), (1, f"failed: S/notes.txt ({cause})\n"
                                            f"failed: S/x.mp3 ({cause})\n"))
        self.assertFalse(os.path.exists(folder.file("stick/S")))
        self.assertEqual(folder.read("R/song.mp3"), SONG)

    def test_a_destination_reached_through_a_bind_mount_is_left_out(self):
        folder = Folder(self)
        folder.write("lib/a.mp3", SONG)
        folder.write("stick/.sorabun-copies", b"a record")  # of copies made there once
        os.makedirs(folder.file("lib/stick"))
        mounted = subprocess.run(["mount", "--bind", folder.file("stick"), folder.file("lib/stick")],
                                 capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("a bind mount needs root and a system that lets it mount: "
                          + mounted.stderr.decode(errors="replace").strip())
        try:
            for arguments in (["-r", "lib"], ["-r", "--all-files", "lib/stick/.."]):
                status, out, _ = run(["-q", "--to", "stick/out"] + arguments, folder.path)
                shown = os.path.join(arguments[-1], "stick")
                self.assertEqual((status, out), (1, f"failed: {shown} (it is the --to folder, holds "
                                                    "it or lies in it, reached another way (a bind "
                                                    "mount): not copied)\n"))
            # A record is never copied.
            status, out, _ = run(["-q", "--to", "elsewhere", "-r", "--all-files", "stick"],
                                 folder.path)
            self.assertEqual((status, out), (0, ""))
        finally:
            subprocess.run(["umount", folder.file("lib/stick")], check=True)
        # lib/stick/.. is lib, whose content goes into stick/out itself.
        self.assertEqual(folder.names(), ["elsewhere/.sorabun-copies", "elsewhere/stick/out/a.mp3",
                                          "elsewhere/stick/out/lib/a.mp3", "lib/a.mp3",
                                          "stick/.sorabun-copies", "stick/out/.sorabun-copies",
                                          "stick/out/a.mp3", "stick/out/lib/a.mp3"])

    def test_a_disk_without_room_for_the_files_is_refused_before_anything_is_written(self):
        folder = Folder(self)
        for i in range(8):
            folder.write(f"lib/{i}.mp3", SONG)
        os.mkdir(folder.file("stick"))
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "nr_inodes=4,size=1M", "tmpfs",
                                  folder.file("stick")], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("a tmpfs with few inodes needs root and a system that lets it mount: "
                          + mounted.stderr.decode(errors="replace").strip())
        try:
            status, out, err = run(["-q", "--to", "stick", "lib"], folder.path)
            self.assertEqual((status, out, err),
                             (1, "", "sorabun-cli: not enough room in stick: 11 files and folders "
                                     "to make, 3 more fit. Nothing was written.\n"))
            self.assertEqual(os.listdir(folder.file("stick")), [])
        finally:
            subprocess.run(["umount", folder.file("stick")], check=True)

    def test_a_destination_folder_that_is_no_folder_is_named_and_nothing_lands_outside(self):
        folder = Folder(self)
        folder.write("lib/sub/song.mp3", SONG)
        os.mkdir(folder.file("outside"))
        for make in (lambda path: open(path, "wb").close(),
                     lambda path: os.symlink(folder.file("outside"), path)):
            shutil.rmtree(folder.file("stick"), ignore_errors=True)
            os.makedirs(folder.file("stick/lib"))
            make(folder.file("stick/lib/sub"))
            status, out, _ = run(["-q", "--to", "stick", "-r", "lib"], folder.path)
            self.assertEqual((status, out), (1, "failed: lib/sub/song.mp3 (the copy cannot be "
                                                "written: not a folder)\n"))
            self.assertEqual(os.listdir(folder.file("outside")), [])

    def test_all_frames_converts_every_text_names_what_it_leaves_and_reaches_copies(self):
        comment = frame("COMM", b"\x01jpn\xff\xfe\0\0" + utf16("あい")[1:])
        broken = frame("APIC", b"\x01image/png")  # the MIME type has no terminator
        song = tag([frame("TIT2", utf16("あ")), comment, broken])
        want = tag([frame("TIT2", single_byte("あ".encode("cp932"))),
                    frame("COMM", b"\0jpn\0" + "あい".encode("cp932") + b"\0"), broken])
        folder = Folder(self)
        folder.write("song.mp3", song)
        folder.write("library/song.mp3", song)
        status, out, _ = run(["-y", "--all-frames", "song.mp3"], folder.path)
        self.assertEqual((status, folder.read("song.mp3")), (0, want))
        self.assertIn(f"({len(song) - len(want)} bytes saved; frames left as they are: APIC)",
                      out)
        status, _, _ = run(["--to", "stick", "--all-frames", "library"], folder.path)
        self.assertEqual((status, folder.read("stick/library/song.mp3")), (0, want))

    def test_usage_help_version_and_language(self):
        folder = Folder(self)
        status, _, err = run([], folder.path)
        self.assertEqual(status, 2)
        self.assertIn("no file or folder given", err)
        status, _, err = run(["--bogus", "x.mp3"], folder.path)
        self.assertEqual((status, err.splitlines()[0]), (2, "sorabun-cli: unknown option '--bogus'"))
        status, _, _ = run(["-yz", "x.mp3"], folder.path)
        self.assertEqual(status, 2)
        status, out, _ = run(["--help"], folder.path)
        self.assertEqual(status, 0)
        self.assertIn("Exit status:\n  0  no file failed", out)
        self.assertIn("  2  usage error", out)
        status, out, _ = run(["--version"], folder.path)
        self.assertEqual(status, 0)
        self.assertRegex(out, r"\Asorabun-cli 1\.0\.0( \(commit [0-9a-f]{12,}(, modified)?\))?\n\Z")

        folder.write("song.mp3", SONG)
        japanese = dict(english(), LANG="ja_JP.UTF-8")
        status, out, _ = run(["-y", "song.mp3"], folder.path, env=japanese)
        self.assertEqual(out, f"変換しました: song.mp3 ({SAVED} バイト減少)\n1 ファイル: 変換 1\n")
        # LC_ALL overrides LANG.
        status, out, _ = run(["-y", "song.mp3"], folder.path, env=dict(japanese, LC_ALL="C"))
        self.assertEqual(out, "already in code page 932: song.mp3\n"
                              "1 file: 1 already in code page 932\n")


def id3v1_fields(data):
    """The ID3v1 tag at the end of data, read from the 128-byte layout: texts
    up to their first zero byte, the track when byte 125 is zero."""
    tail = data[-128:]
    if tail[:3] != b"TAG":
        return None
    text = lambda start, size: tail[start:start + size].split(b"\0")[0]
    return {"title": text(3, 30), "artist": text(33, 30), "album": text(63, 30),
            "year": text(93, 4), "comment": text(97, 28),
            "track": tail[126] if tail[125] == 0 else None, "genre": tail[127]}


class Id3v1EndToEnd(unittest.TestCase):
    def test_the_id3v1_tag_is_appended_or_replaced_after_other_blocks(self):
        ape = b"APETAGEX" + bytes(24) + b"LYRICSBEGINla la" + b"000016LYRICS200"
        old = b"TAG" + b"old title".ljust(125, b"\0")
        kana = "\u3042" * 15  # 30 bytes in code page 932
        fields = [frame("TYER", single_byte(b"2004")),
                  frame("COMM", b"\x00engiTunNORM\0 0000 0001"),
                  frame("COMM", b"\x01eng\xff\xfe\0\0" + "良い曲".encode("utf-16-le")),
                  frame("TRCK", single_byte(b"7/12")), frame("TCON", single_byte(b"rock"))]
        v24 = [frame("TDRC", single_byte(b"2019-03-01")), frame("TCON", single_byte(b"31"))]
        rows = [  # name, file, fields wanted (others empty), ID3v1 tag there before
            ("append", SONG, {"title": b"Cafe ? " + "あい".encode("cp932"), "artist": b"abc"},
             False),
            ("replace", SONG + ape + old, {"title": b"Cafe ? " + "あい".encode("cp932"),
                                           "artist": b"abc"}, True),
            ("cut", tag([frame("TALB", utf16("x" + kana))]),
             {"album": ("x" + kana[:14]).encode("cp932")}, False),
            ("fields", tag(fields), {"year": b"2004", "comment": "良い曲".encode("cp932"),
                                     "track": 7, "genre": 17}, False),
            ("v24", tag(v24, major=4), {"year": b"2019", "genre": 31}, False),
            # No audio: the old tag follows the ID3v2 tag at once.
            ("bare", tag([frame("TIT2", utf16("t"))], audio=b"") + old, {"title": b"t"}, True),
        ]
        folder = Folder(self)
        for name, data, _, _ in rows:
            folder.write(name + ".mp3", data)
        status, out, err = run(["-y", "--id3v1", "."], folder.path)
        self.assertEqual(status, 0, out + err)
        self.assertIn("converted: ./append.mp3 (", out)
        for name, data, wanted, replaced in rows:
            result = folder.read(name + ".mp3")
            fields = dict({"title": b"", "artist": b"", "album": b"", "year": b"",
                           "comment": b"", "track": 0, "genre": 255}, **wanted)
            self.assertEqual(id3v1_fields(result), fields, name)
            # Everything between the audio and the tag stays where it was.
            audio_end = len(data) - (128 if replaced else 0)
            self.assertEqual(result[-128 - len(ape):-128] == ape, name == "replace", name)
            if name == "bare":
                self.assertEqual(result[:-128], tag([frame("TIT2", single_byte(b"t"))], audio=b""))
            else:
                self.assertTrue(data[:audio_end].endswith(result[-128 - 8000:-128]), name)
        # A second run finds nothing to do.
        status, out, _ = run(["-y", "--id3v1", "."], folder.path)
        self.assertTrue(out.endswith("6 files: 6 already in code page 932\n"), out)
        # Copies get the tag; the library is only read.
        folder.write("lib/song.mp3", SONG)
        status, out, err = run(["--id3v1", "--to", "stick", "lib"], folder.path)
        self.assertEqual(status, 0, out + err)
        self.assertIn("copied: lib/song.mp3 (converted, ", out)
        self.assertEqual(id3v1_fields(folder.read("stick/lib/song.mp3"))["artist"], b"abc")
        self.assertEqual(folder.read("lib/song.mp3"), SONG)


class InfoEndToEnd(unittest.TestCase):
    def test_info_marks_what_a_shift_jis_player_misreads_and_writes_nothing(self):
        import json
        old_v1 = b"TAG" + b"Cafe".ljust(125, b"\0")
        files = {
            "a.mp3": SONG + old_v1,  # UTF-16 title; the ID3v1 title differs
            "b.mp3": CONVERTED,
            "c.mp3": tag([frame("TIT2", utf16("x"))], major=4),
            "d.mp3": UNSUPPORTED,
            "e.mp3": NO_TAG + b"TAG" + b"only v1".ljust(125, b"\0"),
        }
        folder = Folder(self)
        for name, data in files.items():
            folder.write(name, data)
        status, out, err = run(["--info", ".", "missing.mp3"], folder.path)
        self.assertEqual(status, 1, out + err)
        self.assertIn("would convert: ./a.mp3 (", out)
        self.assertIn("\n  ID3v2.3.0  size 90  padding 32  flags: none\n"
                      "! TIT2       23  UTF-16    Café 〜 あい\n"
                      "  TPE1        5  cp932     abc\n"
                      "! ID3v1  title \"Cafe\", artist \"\", album \"\", year \"\", comment \"\", "
                      "genre 0 (Blues); differs from the ID3v2 tag: title, artist\n", out)
        self.assertIn("\n  TIT2       12  cp932     Cafe ? あい\n", out)
        self.assertIn("! ID3v2.4.0  size", out)
        self.assertIn("! ID3v2.3.0  size 59  padding 32  flags: unsynchronisation\n", out)
        self.assertIn("no ID3v2 tag: ./e.mp3\n  ID3v1  title \"only v1\",", out)
        self.assertTrue(out.endswith(
            "6 files: 3 frames in UTF-16 or UTF-8, 1 unsynchronised, 1 version 2.4 header, "
            "1 ID3v1 tag that differs from the ID3v2 tag, 1 failed\n"), out)
        for name, data in files.items():
            self.assertEqual(folder.read(name), data, name)

        status, out, _ = run(["--info", "--json", "."], folder.path)
        self.assertEqual(status, 0)
        objects = {o["path"]: o for o in map(json.loads, out.splitlines())}
        self.assertEqual(len(objects), 5)
        song = objects["./a.mp3"]
        self.assertEqual((song["conversion"], song["id3v2"]["version"]), ("would-convert", "ID3v2.3.0"))
        self.assertEqual([(f["id"], f["encoding"], f["text"], f["misread"]) for f in song["frames"]],
                         [("TIT2", 1, "Café 〜 あい", ["text-encoding"]), ("TPE1", 0, "abc", [])])
        self.assertEqual(song["id3v1"]["differs"], ["title", "artist"])
        self.assertEqual(objects["./d.mp3"]["reason"], "unsynchronised tag")
        self.assertEqual(objects["./e.mp3"]["id3v2"], None)
        self.assertEqual(objects["./c.mp3"]["misread"]["version-2.4"], 1)

        status, out, _ = run(["--info", "b.mp3"], folder.path,
                             env=dict(english(), LANG="ja_JP.UTF-8"))
        self.assertTrue(out.endswith("1 ファイル: 読み違えるものはありません\n"), out)
        status, _, err = run(["--json", "b.mp3"], folder.path)
        self.assertEqual((status, err.splitlines()[0]), (2, "sorabun-cli: --json goes with --info only"))


def frame4(identifier, data):
    """A version 4 frame: synchsafe size, no flags."""
    return identifier.encode("ascii") + synchsafe(len(data)) + b"\0\0" + data


def frame2(identifier, data):
    return identifier.encode("ascii") + len(data).to_bytes(3, "big") + data


def utf8(*values):
    return b"\x03" + b"\0".join(value.encode("utf-8") for value in values)


# Tags for --id3v2.3: version 2.4 with two artists and a time stamp; version
# 2.2 with a frame version 2.3 has no name for; an unsynchronised version
# 2.3 tag; version 2.3 text frames with a second value after a terminator.
V24 = tag([frame4("TIT2", utf8("夜")), frame4("TPE1", utf8("空", "文")),
           frame4("TDRC", utf8("2024-03-05"))], major=4)
V22 = tag([frame2("TT2", single_byte(b"Song")), frame2("XYZ", b"abc")], major=2)
TWO_VALUES = tag([frame("TIT2", single_byte(b"Title")), frame("TPE1", single_byte(b"One\0Two"))])


def version3_frames(data):
    """The identifiers of a version 2.3 tag's frames."""
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    position, found = 10, []
    while position + 10 <= 10 + size and data[position] != 0:
        found.append(data[position:position + 4].decode("ascii"))
        position += 10 + int.from_bytes(data[position + 4:position + 8], "big")
    return found


class Version3EndToEnd(unittest.TestCase):
    def test_id3v2_3_in_place_converts_every_version_and_keeps_the_audio(self):
        cases = [  # (tag, status, what the line says, frames written)
            (V24, 0, "(2.4 -> 2.3, ", ["TIT2", "TPE1", "TDRC", "TYER", "TDAT"]),
            (V22, 1, "left out: XYZ)", ["TIT2"]),
            (UNSUPPORTED, 0, "converted: ./song.mp3 (", ["TIT2"]),
            (TWO_VALUES, 0, 'values joined with "/": TPE1', ["TIT2", "TPE1"]),
        ]
        for original, status, said, frames in cases:
            with self.subTest(said=said):
                folder = Folder(self)
                folder.write("song.mp3", original)
                code, out, err = run(["-y", "--id3v2.3", "./song.mp3"], folder.path)
                self.assertEqual(code, status, out + err)
                self.assertIn(said, out)
                written = folder.read("song.mp3")
                self.assertEqual(written[3:6], b"\3\0\0")  # version 2.3, never unsynchronised
                self.assertEqual(version3_frames(written), frames)
                self.assertTrue(written.endswith(AUDIO))
                code, out, _ = run(["-y", "--id3v2.3", "song.mp3"], folder.path)
                self.assertIn("already in code page 932", out)
                self.assertEqual(folder.read("song.mp3"), written)
        self.assertIn(b"TPE1\0\0\0\x08\0\0\0One/Two", folder.read("song.mp3")[:64])

    def test_car_copies_are_version_2_3_with_id3v1_and_the_library_is_unchanged(self):
        folder = Folder(self)
        library = {"lib/a.mp3": V24, "lib/b.mp3": SONG, "lib/c.mp3": V22, "lib/d.mp3": TWO_VALUES}
        for name, data in library.items():
            folder.write(name, data)
        # Each option --car stands for may be given with it.
        status, out, err = run(["--car", "--fold", "--id3v1", "--to", "stick", "-r", "lib"],
                               folder.path)
        self.assertEqual(status, 1, out + err)  # c.mp3 lost XYZ
        for name, data in library.items():
            self.assertEqual(folder.read(name), data, name)
            copy = folder.read("stick/" + name)
            self.assertEqual(copy[3:5], b"\3\0", name)
            self.assertEqual(copy[-128:-125], b"TAG", name)
        self.assertIn(b"One/Two", folder.read("stick/lib/d.mp3")[-128:])  # ID3v1 from the 2.3 tag

    def test_values_a_version_2_3_reader_drops_are_shown_and_marked(self):
        folder = Folder(self)
        folder.write("song.mp3", TWO_VALUES)
        _, out, _ = run(["-n", "song.mp3"], folder.path)
        self.assertIn("before: One / Two\n        after:  One\n        dropped: Two\n", out)
        _, out, _ = run(["-n", "--id3v2.3", "song.mp3"], folder.path)
        self.assertIn("before: One / Two\n        after:  One/Two\n", out)
        _, out, _ = run(["--info", "song.mp3"], folder.path)
        self.assertIn("One / Two (players show the first value only)", out)
        folder.write("new.mp3", V24)
        _, out, _ = run(["--info", "new.mp3"], folder.path)
        self.assertIn("--id3v2.3 writes version 2.3", out)
        for option in ["--id3v2.3", "--car"]:
            status, _, err = run(["--info", option, "song.mp3"], folder.path)
            self.assertEqual(status, 2, option)
            self.assertIn("--info writes nothing", err)


class CliUnderWine(unittest.TestCase):
    """The Windows program: the same bytes as the native one gives."""

    def test_converts_one_file(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG)
        folder.write("plain.mp3", NO_TAG)
        before_1970 = -123456789123456700  # in the 100 ns steps Windows keeps
        os.utime(folder.file("song.mp3"), ns=(before_1970, before_1970))
        status, out, err = run(["-y", "-t", "song.mp3", "plain.mp3"], folder.path)
        self.assertEqual(status, 0, out + err)
        self.assertEqual(folder.read("song.mp3"), CONVERTED)
        self.assertEqual(os.stat(folder.file("song.mp3")).st_mtime_ns, before_1970)
        self.assertEqual(folder.read("plain.mp3"), NO_TAG)
        self.assertEqual(out, f"変換しました: song.mp3 ({SAVED} バイト減少)\n"
                              "ID3v2 タグなし: plain.mp3\n"
                              "2 ファイル: 変換 1、タグなし 1\n")
        status, out, _ = run(["-n", "."], folder.path)
        self.assertEqual(status, 0)
        self.assertIn("変換済み (コードページ 932): .\\\\song.mp3", out)  # the backslash escaped

    def test_copies_never_land_in_a_copied_folder(self):
        check_copies_never_land_in_a_copied_folder(self)

    def test_fold_gives_the_native_bytes(self):
        check_fold(self, japanese=True)

    def test_id3v1_and_info(self):
        folder = Folder(self)
        folder.write("song.mp3", SONG + b"TAG" + bytes(125))
        status, out, err = run(["-y", "--id3v1", "song.mp3"], folder.path)
        self.assertEqual(status, 0, out + err)
        title = b"Cafe ? " + "あい".encode("cp932")
        self.assertEqual(folder.read("song.mp3"), CONVERTED + b"TAG" + title.ljust(30, b"\0") +
                         b"abc".ljust(30, b"\0") + bytes(62) + b"\0\0\xff")
        status, out, err = run(["--info", "--json", "song.mp3"], folder.path)
        self.assertEqual(status, 0, out + err)
        import json
        found = json.loads(out)
        self.assertEqual(found["frames"][0]["text"], "Cafe ? あい")
        self.assertEqual(found["id3v1"]["title"], "Cafe ? あい")

    def test_every_name_windows_holds_converts(self):
        # Outside code page 932 (an accent, Korean, an emoji), inside it, and
        # named one by one as well as found in a folder.
        names = ["Café.mp3", "한국.mp3", "日本.mp3", "\U0001F3B5 song.mp3"]
        folder = Folder(self)
        for name in names:
            folder.write(name, SONG)
        status, out, err = run(["-y"] + names, folder.path)
        self.assertEqual(status, 0, out + err)
        self.assertTrue(out.endswith("4 ファイル: 変換 4\n"), out)
        for name in names:
            self.assertEqual(folder.read(name), CONVERTED, name)
            folder.write(name, SONG)
        status, out, err = run(["-y", "."], folder.path)
        self.assertEqual(status, 0, out + err)
        self.assertTrue(out.endswith("4 ファイル: 変換 4\n"), out)
        self.assertEqual(sorted(os.listdir(folder.path)), sorted(names))
        for name in names:
            self.assertEqual(folder.read(name), CONVERTED, name)


def main():
    global PROGRAM, RUNNER
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner")
    parser.add_argument("program")
    parser.add_argument("tests", nargs="*")
    arguments = parser.parse_args()
    PROGRAM = os.path.abspath(arguments.program)
    RUNNER = arguments.runner
    names = arguments.tests or ["CliEndToEnd", "Id3v1EndToEnd", "InfoEndToEnd",
                                "Version3EndToEnd"]
    unittest.main(argv=[sys.argv[0], "-v"] + names)


if __name__ == "__main__":
    main()
