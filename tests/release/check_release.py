#!/usr/bin/env python3
"""Checks the release files that scripts/release.sh makes.

usage: check_release.py DIST VERSION [--source ROOT]
  DIST holds sorabun-VERSION-windows-x86.zip and sorabun-cli_VERSION_amd64.deb;
  ROOT, when it is a git work tree, is where the commit that --version must
  name comes from.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK_EXECUTABLE = os.path.join(HERE, "..", "ui", "check_executable.py")
README = "お読みください.txt"
ZIP_ENTRIES = ["Sorabun.exe", "SorabunCopy.exe", "sorabun-cli.exe", README, "LICENSE"]
DEB_FILES = ["./usr/bin/sorabun-cli", "./usr/share/doc/sorabun-cli/changelog.gz",
             "./usr/share/doc/sorabun-cli/copyright",
             "./usr/share/man/man1/sorabun-cli.1.gz"]
I386, CONSOLE = 0x14C, 3

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def windows_text(data, what):
    """Code page 932 with CRLF line ends: the text, or None."""
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        failures.append(f"{what} is not code page 932: {error}")
        return None
    expect(text.endswith("\r\n") and "\n" not in text.replace("\r\n", "")
           and "\r" not in text.replace("\r\n", ""), f"{what}: not CRLF line ends throughout")
    return text


def check_zip(path, version, work):
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        # Names without the UTF-8 flag are code page 932 (zipfile reads them
        # as code page 437).
        names = [i.filename if i.flag_bits & 0x800 else i.filename.encode("cp437").decode("cp932")
                 for i in infos]
        expect(names == ZIP_ENTRIES, f"zip entries {names}, wanted {ZIP_ENTRIES}")
        entries = dict(zip(names, (archive.read(i) for i in infos)))
    for name in ZIP_ENTRIES[:3]:
        with open(os.path.join(work, name), "wb") as out:
            out.write(entries.get(name, b""))
    for name, options in (("Sorabun.exe", []), ("SorabunCopy.exe", ["--copy-window"])):
        checked = run([sys.executable, CHECK_EXECUTABLE, os.path.join(work, name),
                       "--arch", "x86", "--version", version] + options)
        expect(checked.returncode == 0, f"{name}: {checked.stdout.strip()}")
    try:
        cli = pefile.PE(os.path.join(work, "sorabun-cli.exe"), fast_load=True)
        kind = (cli.FILE_HEADER.Machine, cli.OPTIONAL_HEADER.Subsystem)
    except pefile.PEFormatError:
        kind = None
    expect(kind == (I386, CONSOLE), "sorabun-cli.exe is not an i386 console program")
    readme = windows_text(entries.get(README, b""), README)
    if readme is not None:
        expect(f"Sorabun {version}" in readme, f"{README} does not name version {version}")
    licence = windows_text(entries.get("LICENSE", b""), "LICENSE")
    with open(os.path.join(HERE, "..", "..", "LICENSE"), encoding="utf-8") as source:
        expect(licence == source.read().replace("\n", "\r\n"), "LICENSE differs from the project's")


def owning_package(soname):
    for folder in ("/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu"):
        found = run(["dpkg", "-S", os.path.join(folder, soname)])
        if found.returncode == 0:
            return found.stdout.split(":")[0]
    return None


def check_deb(path, version, commit, work):
    fields = {}
    for line in run(["dpkg-deb", "-f", path]).stdout.splitlines():
        if not line.startswith(" "):
            key, _, value = line.partition(": ")
            fields[key] = value
    for key, wanted in (("Package", "sorabun-cli"), ("Version", version),
                        ("Architecture", "amd64"), ("Section", "sound"),
                        ("Priority", "optional")):
        expect(fields.get(key) == wanted, f"deb {key}: {fields.get(key)!r}, wanted {wanted!r}")
    expect(re.fullmatch(r".+ <[^@\s]+@[^@\s]+>", fields.get("Maintainer", "")),
           f"deb Maintainer: {fields.get('Maintainer')!r}")
    expect(fields.get("Installed-Size", "").isdigit(), "deb has no Installed-Size")
    description = run(["dpkg-deb", "-f", path, "Description"]).stdout.splitlines()
    expect(len(description) >= 2 and description[0].strip(), "deb needs a short and a long description")

    listing = run(["dpkg-deb", "-c", path]).stdout.splitlines()
    files = sorted(line.split()[-1] for line in listing if line.startswith("-"))
    expect(files == DEB_FILES, f"deb files {files}, wanted {DEB_FILES}")
    expect(all(line.split()[1] == "root/root" for line in listing), "deb files not owned by root")

    root = os.path.join(work, "deb")
    run(["dpkg-deb", "-x", path, root], check=True)
    program = os.path.join(root, "usr/bin/sorabun-cli")
    shown = run([program, "--version"]).stdout
    wanted = re.escape(f"sorabun-cli {version}") + (
        rf" \(commit {commit[:12]}(, modified)?\)" if commit else "") + r"\n"
    expect(re.fullmatch(wanted, shown), f"--version of the deb's program: {shown!r}, wanted {wanted}")
    needed = re.findall(r"NEEDED\s+(\S+)", run(["objdump", "-p", program]).stdout)
    depends = {d.split()[0] for d in fields.get("Depends", "").split(", ") if d}
    for soname in needed:
        package = owning_package(soname)
        expect(package in depends, f"{soname} ({package}) is not in Depends: {depends}")
    page = os.path.join(root, "usr/share/man/man1/sorabun-cli.1.gz")
    rendered = run(["man", "--warnings", "-l", page], env=dict(os.environ, MANWIDTH="80"))
    expect(rendered.returncode == 0 and not rendered.stderr, f"man -l: {rendered.stderr.strip()}")

    if shutil.which("lintian"):
        lintian = run(["lintian", "--no-cfg", path])
        print(lintian.stdout, end="")
        errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
        expect(not errors, f"lintian errors: {errors}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dist")
    parser.add_argument("version")
    parser.add_argument("--source")
    args = parser.parse_args()
    commit = ""
    if args.source:
        head = run(["git", "-C", args.source, "rev-parse", "HEAD"])
        commit = head.stdout.strip() if head.returncode == 0 else ""

    with tempfile.TemporaryDirectory() as work:
        check_zip(os.path.join(args.dist, f"sorabun-{args.version}-windows-x86.zip"), args.version,
                  work)
        check_deb(os.path.join(args.dist, f"sorabun-cli_{args.version}_amd64.deb"), args.version,
                  commit, work)
    for failure in failures:
        print("FAIL:", failure)
    print(f"release {args.version}: {'ok' if not failures else f'{len(failures)} failures'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
