#!/usr/bin/env python3
"""Writes the Windows release zip, the same bytes for the same inputs.

usage: make_zip.py OUT.zip --epoch SECONDS ENTRY...
  ENTRY is NAME=PATH (stored as it is) or NAME=text:PATH (a UTF-8 text,
  stored in code page 932 with CRLF line ends, as Notepad and Japanese
  Windows expect). Entries keep the order given; every entry gets the time
  SECONDS (UTC, as zip stores local times without a zone), and fixed
  attributes.

Names are stored in code page 932, which is how Windows' own zip folders
read a name without the UTF-8 flag on Japanese Windows (they ignore the
flag on older versions), with the UTF-8 name in an Info-ZIP Unicode Path
field for every other reader.
"""

import argparse
import struct
import sys
import time
import zipfile
import zlib

UNICODE_PATH_FIELD = 0x7075
MSDOS = 0
ARCHIVE_ATTRIBUTE = 0x20


class Cp932Info(zipfile.ZipInfo):
    # ZipInfo stores a non-ASCII name as UTF-8 with the UTF-8 flag; this is
    # its one hook for the stored bytes of the name and the flags.
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits


def unicode_path_field(name):
    stored = name.encode("cp932")
    data = b"\x01" + struct.pack("<I", zlib.crc32(stored)) + name.encode("utf-8")
    return struct.pack("<HH", UNICODE_PATH_FIELD, len(data)) + data


def windows_text(path):
    """A UTF-8 file in code page 932 with CRLF; fails on a character that
    code page 932 does not hold, rather than write a '?'."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    if "\r" in text:
        sys.exit(f"make_zip: {path} has CR characters; keep it with LF line ends")
    data = text.replace("\n", "\r\n").encode("cp932")
    if data.decode("cp932") != text.replace("\n", "\r\n"):
        sys.exit(f"make_zip: {path} does not survive code page 932")
    return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("entries", nargs="+")
    args = parser.parse_args()

    stamp = time.gmtime(max(args.epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(args.output, "w") as archive:
        for entry in args.entries:
            name, path = entry.split("=", 1)
            if path.startswith("text:"):
                data = windows_text(path[len("text:"):])
            else:
                with open(path, "rb") as source:
                    data = source.read()
            info = Cp932Info(name, date_time=stamp)
            info.create_system = MSDOS
            info.external_attr = ARCHIVE_ATTRIBUTE
            info.compress_type = zipfile.ZIP_DEFLATED
            if not name.isascii():
                info.extra = unicode_path_field(name)
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    main()
