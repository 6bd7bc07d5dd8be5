#!/usr/bin/env python3
"""The man page against the program: each long option that --help lists has
an entry under OPTIONS, and each entry an option that --help lists; and
man renders the page without a warning.

usage: man_page.py SORABUN_CLI MAN_PAGE
"""

import os
import re
import subprocess
import sys

OPTION = re.compile(r"--[a-z][a-z0-9-]*")


def main():
    program, page = sys.argv[1:3]
    english = dict(os.environ, LC_ALL="C", LANG="C")
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True,
                               env=english, check=True).stdout
    # The option lines of --help: indented, starting with the option.
    in_help = {OPTION.search(line).group() for line in help_text.splitlines()
               if re.match(r"\s+(-\w, )?--", line)}

    lines = open(page, encoding="utf-8").read().replace("\\-", "-").splitlines()
    section = ""
    in_page = set()
    for previous, line in zip([""] + lines, lines):
        if line.startswith(".SH"):
            section = line
        elif section == ".SH OPTIONS" and previous == ".TP":
            in_page.update(OPTION.findall(line))

    failures = [f"{option} is in --help but has no entry in the man page"
                for option in sorted(in_help - in_page)]
    failures += [f"the man page has an entry for {option}, which --help does not list"
                 for option in sorted(in_page - in_help)]
    rendered = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                              env=dict(english, MANWIDTH="80"))
    if rendered.returncode != 0 or rendered.stderr:
        failures.append(f"man -l: status {rendered.returncode}: {rendered.stderr.strip()}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"man page: {len(in_help)} options; {'ok' if not failures else 'failed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
