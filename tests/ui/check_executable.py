#!/usr/bin/env python3
"""Reads a built Sorabun.exe or SorabunCopy.exe and checks what Windows
will see of it: the machine and subsystem, the DLLs it imports, and its
resources (the main dialog's template, the icon group, the manifest and the
version resource).

usage: check_executable.py PROGRAM.exe --arch x86|amd64 --version MAJOR.MINOR.PATCH
  [--copy-window]
--copy-window: SorabunCopy.exe, whose window template holds its controls
without texts (they come from the program's catalogue).
Exits 0 when every check passes; prints each failure otherwise.
"""

import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

try:
    import pefile
except ImportError:
    sys.stderr.write("python3-pefile is needed (apt-get install python3-pefile)\n")
    sys.exit(2)

JAPANESE = 1041
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
IDD_MAIN, IDD_COPY, IDI_APP = 9, 10, 103

MACHINES = {"x86": (0x14C, 0x10B), "amd64": (0x8664, 0x20B)}
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2

# DLLs that come with every Windows; the runtime libraries of the compiler
# (libstdc++, libgcc, libwinpthread) must be linked in, not imported.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
    "advapi32.dll", "shell32.dll", "ole32.dll", "msvcrt.dll",
}

WS_CHILD, WS_VISIBLE, WS_TABSTOP, WS_GROUP, WS_BORDER = (
    0x40000000, 0x10000000, 0x00010000, 0x00020000, 0x00800000)
ES_AUTOHSCROLL, BS_PUSHBUTTON, SS_LEFT = 0x0080, 0x0000, 0x0000

DIALOG = {
    "style": 0x80C800C0, "ex_style": 0, "x": 0, "y": 0, "cx": 359, "cy": 48,
    "menu": None, "class": None, "title": "Sorabun",
    "font": (9, 400, 0, 128, "MS UI Gothic"),
}

# id, class, text, x, y, cx, cy, style
CONTROLS = [
    (0xFFFFFFFF, "static", "変換対象ファイル:", 7, 9, 49, 8,
     WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT),
    (1002, "edit", "", 57, 7, 236, 14,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL),
    (1003, "button", "参照(&R)...", 299, 7, 53, 15,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON),
    (1004, "button", "変換(&C)", 299, 26, 53, 15,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON),
]

CLASS_ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static", 0x83: "listbox",
                  0x84: "scrollbar", 0x85: "combobox"}

# The copy window: its controls' ids and classes, in the template's order.
COPY_CONTROLS = [
    (1101, "static"), (1102, "listbox"), (1103, "button"), (1104, "button"),
    (1105, "static"), (1106, "combobox"), (1107, "button"), (1108, "button"),
    (1109, "button"), (1110, "button"), (1111, "button"), (1112, "button"),
    (1113, "msctls_progress32"), (1114, "static"), (1115, "static"), (1116, "static"),
    (1117, "listbox"), (1118, "static"),
]

ICON_IMAGES = sorted([(32, 4), (32, 8), (48, 4), (48, 8)])

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def expect_equal(actual, wanted, what):
    expect(actual == wanted, f"{what}: {actual!r}, wanted {wanted!r}")


class Reader:
    """Walks a resource's bytes the way the dialog manager reads them."""

    def __init__(self, data):
        self.data = data
        self.at = 0

    def unpack(self, layout):
        values = struct.unpack_from("<" + layout, self.data, self.at)
        self.at += struct.calcsize("<" + layout)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return value

    def name_or_ordinal(self):
        first = struct.unpack_from("<H", self.data, self.at)[0]
        if first == 0:
            self.at += 2
            return None
        if first == 0xFFFF:
            self.at += 2
            return self.unpack("H")
        return self.text()

    def align(self):
        self.at = (self.at + 3) & ~3


def resources(pe):
    """{(type, name): [(language, bytes)]}"""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            key = (kind.id, name.id if name.id is not None else str(name.name))
            for language in name.directory.entries:
                entry = language.data.struct
                found.setdefault(key, []).append(
                    (language.id, pe.get_data(entry.OffsetToData, entry.Size)))
    return found


def check_headers(pe, arch):
    machine, magic = MACHINES[arch]
    expect_equal(hex(pe.FILE_HEADER.Machine), hex(machine), "machine")
    expect_equal(hex(pe.OPTIONAL_HEADER.Magic), hex(magic), "optional header magic")
    expect_equal(pe.OPTIONAL_HEADER.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI, "subsystem")


def check_imports(pe, needed_dlls):
    names = [entry.dll.decode("ascii").lower() for entry in pe.DIRECTORY_ENTRY_IMPORT]
    for name in names:
        expect(name in SYSTEM_DLLS, f"imports {name}, which is not a Windows system DLL")
    for needed in needed_dlls:
        expect(needed in names, f"does not import {needed}")


def check_dialog(data, dialog, controls):
    reader = Reader(data)
    version, signature = reader.unpack("HH")
    expect_equal((version, signature), (1, 0xFFFF), "dialog template kind (extended)")
    _help, ex_style, style, count = reader.unpack("IIIH")
    x, y, cx, cy = reader.unpack("hhhh")
    menu, window_class, title = reader.name_or_ordinal(), reader.name_or_ordinal(), reader.text()
    font = reader.unpack("HHBB") + (reader.text(),)
    actual = {"style": style, "ex_style": ex_style, "x": x, "y": y, "cx": cx, "cy": cy,
              "menu": menu, "class": window_class, "title": title, "font": font}
    for key, wanted in dialog.items():
        if key == "style":
            expect_equal(hex(actual[key]), hex(wanted), "dialog style")
        else:
            expect_equal(actual[key], wanted, f"dialog {key}")
    expect_equal(count, len(controls), "number of controls")

    for index in range(count):
        reader.align()
        _help, ex_style, style = reader.unpack("III")
        x, y, cx, cy = reader.unpack("hhhh")
        control_id = reader.unpack("I")
        kind = reader.name_or_ordinal()
        kind = CLASS_ORDINALS.get(kind, kind) if isinstance(kind, int) else kind.lower()
        text = reader.name_or_ordinal()
        extra = reader.unpack("H")
        reader.at += extra
        if index >= len(controls):
            continue
        wanted = controls[index]
        what = f"control {index + 1}"
        expect_equal(control_id, wanted[0], f"{what} id")
        expect_equal(kind, wanted[1], f"{what} class")
        expect_equal(text or "", wanted[2], f"{what} text")
        if len(wanted) == 3:
            continue
        expect_equal((x, y, cx, cy), wanted[3:7], f"{what} position and size")
        expect_equal(hex(style), hex(wanted[7]), f"{what} style")
        expect_equal(ex_style, 0, f"{what} extended style")


def check_icons(found):
    group = found.get((RT_GROUP_ICON, IDI_APP))
    expect(group is not None, "no icon group 103")
    if group is None:
        return
    reader = Reader(group[0][1])
    _reserved, kind, count = reader.unpack("HHH")
    expect_equal(kind, 1, "icon group type")
    images = []
    for _ in range(count):
        width, height, colours, _r, planes, bits, size, icon_id = reader.unpack("BBBBHHIH")
        images.append((width, bits))
        expect_equal(width, height, "icon image is square")
        expect_equal(colours, 16 if bits == 4 else 0, f"{width}x{width} {bits}-bit colour count")
        image = found.get((RT_ICON, icon_id))
        expect(image is not None, f"icon image {icon_id} missing")
        if image is None:
            continue
        data = image[0][1]
        expect_equal(len(data), size, f"icon image {icon_id} length")
        header_size, bmp_width, bmp_height, _planes, bmp_bits = struct.unpack_from("<IiiHH", data)
        expect_equal((header_size, bmp_width, bmp_height, bmp_bits),
                     (40, width, 2 * width, bits), f"icon image {icon_id} bitmap header")
    expect_equal(sorted(images), ICON_IMAGES, "icon images (size, bits per pixel)")


def check_manifest(data, arch):
    root = ElementTree.fromstring(data)
    ns = {"asm": "urn:schemas-microsoft-com:asm.v1"}
    identities = root.findall("asm:dependency/asm:dependentAssembly/asm:assemblyIdentity", ns)
    controls = [i for i in identities
                if i.get("name") == "Microsoft.Windows.Common-Controls"]
    expect_equal(len(controls), 1, "common controls dependencies in the manifest")
    for identity in controls:
        expect_equal(identity.get("version"), "6.0.0.0", "common controls version")
        expect_equal(identity.get("processorArchitecture"), arch, "common controls architecture")
        expect_equal(identity.get("publicKeyToken"), "6595b64144ccf1df", "common controls key")
        expect_equal(identity.get("language"), "*", "common controls language")


def check_version(pe, version, file_name):
    major, minor, patch = (int(part) for part in version.split("."))
    numbers = (major << 16 | minor, patch << 16)
    fixed = pe.VS_FIXEDFILEINFO[0]
    expect_equal((fixed.FileVersionMS, fixed.FileVersionLS), numbers, "file version")
    expect_equal((fixed.ProductVersionMS, fixed.ProductVersionLS), numbers, "product version")
    expect_equal(hex(fixed.FileOS), hex(0x40004), "file OS (VOS_NT_WINDOWS32)")
    expect_equal(fixed.FileType, 1, "file type (VFT_APP)")
    tables, translations, strings = [], [], {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables.append(table.LangID.decode("ascii").upper())
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    expect_equal(tables, ["041104B0"], "version string tables")
    expect_equal(translations, ["0x0411 0x04b0"], "version translations")
    expect_equal(strings.get("FileVersion"), f"{version}.0", "FileVersion string")
    expect_equal(strings.get("ProductVersion"), f"{version}.0", "ProductVersion string")
    expect_equal(strings.get("OriginalFilename"), file_name, "OriginalFilename string")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("executable")
    parser.add_argument("--arch", choices=sorted(MACHINES), required=True)
    parser.add_argument("--version", required=True, help="the project's version, MAJOR.MINOR.PATCH")
    parser.add_argument("--copy-window", action="store_true")
    args = parser.parse_args()
    if args.copy_window:
        dialog_id, file_name = IDD_COPY, "SorabunCopy.exe"
        dialog = dict(DIALOG, style=0x80CA08C0, cx=420, cy=334)
        controls = [(number, kind, "") for number, kind in COPY_CONTROLS]
        needed_dlls = ("comctl32.dll", "ole32.dll", "shell32.dll", "user32.dll")
    else:
        dialog_id, file_name = IDD_MAIN, "Sorabun.exe"
        dialog, controls = DIALOG, CONTROLS
        needed_dlls = ("comctl32.dll", "comdlg32.dll", "user32.dll")

    pe = pefile.PE(args.executable)
    check_headers(pe, args.arch)
    check_imports(pe, needed_dlls)
    found = resources(pe)
    for (kind, name), entries in sorted(found.items(), key=str):
        for language, _data in entries:
            expect_equal(language, JAPANESE, f"language of resource {kind}/{name}")
    for key, what in (((RT_DIALOG, dialog_id), f"dialog {dialog_id}"),
                      ((RT_MANIFEST, 1), "manifest 1"), ((RT_VERSION, 1), "version resource")):
        expect(key in found, f"no {what}")
    if (RT_DIALOG, dialog_id) in found:
        check_dialog(found[(RT_DIALOG, dialog_id)][0][1], dialog, controls)
    check_icons(found)
    if (RT_MANIFEST, 1) in found:
        check_manifest(found[(RT_MANIFEST, 1)][0][1], args.arch)
    check_version(pe, args.version, file_name)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{args.executable}: {'ok' if not failures else f'{len(failures)} failures'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
