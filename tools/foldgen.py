#!/usr/bin/env python3
"""Writes engine/fold_table.inc: the look-alikes --fold writes for the
characters that code page 932 turns into '?'.

A character has a look-alike only where the platform's own conversion
(engine/cp932_table.inc, taken from WideCharToMultiByte) gives '?'; where
the platform already maps it (best fit) there is nothing to fold. The
look-alikes come in three groups, each from data a library provides:

- JIS: every double-byte code is decoded twice, with the JIS mapping
  (Python's shift_jis codec) and with code page 932 (Python's cp932 codec).
  Where both give a character and the two differ, the JIS character is one
  that code page 932 holds under another character at the same code: the
  same glyph on every Shift-JIS display. Text from macOS, iOS and the web
  carries these (the wave dash, the minus sign, the em dash).
- Punctuation: the dashes and the bullet of Western text, which have no
  JIS code. The en dash (U+2013) and the figure dash (U+2012) become the
  ASCII '-' rather than the full-width hyphen-minus (0x817C): both are
  dashes of a digit's width, which the half-width '-' draws on a car's
  display, where the full-width one is as wide as a kanji and reads as a
  minus sign or a long vowel; and '-' takes one byte where the 30 bytes of
  an ID3v1 field and the 64 bytes a display shows count. The bullet
  (U+2022) becomes the katakana middle dot 0x8145, the dot the platform
  already gives the Latin middle dot U+00B7.
- Compatibility forms: a character whose NFKC normal form (Python's
  unicodedata) code page 932 holds, as the bytes of that form: ligatures
  (U+FB01 to "fi"), circled and letterlike Latin letters, superscript and
  subscript digits and letters, the Roman numerals code page 932 lacks
  (U+216A to "XI", U+216C to "L"), the spaces of General Punctuation and
  the no-break space, vertical and small presentation forms, Kangxi
  radicals and CJK compatibility ideographs (the same ideograph under
  another code), circled katakana and ideographs.
  Each character of the form is one that code page 932 maps back to itself
  (no best fit) or one of the groups above (U+FE31, a vertical em dash,
  becomes the em dash's JIS code). A look-alike takes at most two bytes:
  a character of the BMP takes at least two bytes in every encoding a tag
  holds it in (UTF-16, or UTF-8 from U+0080), so a converted text never
  grows and still fits the frame it is written over; forms of more bytes
  (U+2474 "(1)", U+FB03 "ffi") stay '?'. A form with the single byte 0x5C
  or 0x7E is left out too: a Japanese display shows those as the yen sign
  and the overline, not as the backslash and the tilde.

Characters with no look-alike stay '?': Hangul (code page 932 has no
Hangul, and Hangul's NFKC form is Hangul), emoji, and the Chinese characters
code page 932 lacks.

Coverage (python3 tools/foldgen.py --coverage, Unicode 14.0's data): of the
characters of these blocks that the platform turns into '?', how many have
a look-alike with the JIS group alone (the table before the other groups)
and with all three:

    block                        '?'   before   after
    Latin Extended-A             128        0       3
    Latin Extended-B             208        0       9
    General Punctuation           97        2      24
    Superscripts and Subscripts   42        0      41
    Letterlike Symbols            76        0      40
    Enclosed Alphanumerics       140        0      62
    all six                      691        2     179

Most of Latin Extended-A and -B are letters with diacritics, whose NFKC
form keeps them; the parenthesized numbers and letters of Enclosed
Alphanumerics (58 of the 78 left) take three or four bytes.

Normalisation forms of assigned characters never change between Unicode
versions, so another Python gives the same table unless its Unicode adds
characters to the BMP that fold.

Usage: python3 tools/foldgen.py             rewrite engine/fold_table.inc
       python3 tools/foldgen.py --check     exit 1 when the committed table
                                            is not what this gives, or an
                                            entry breaks a rule above
       python3 tools/foldgen.py --coverage  print the coverage table above
"""
import re
import sys
import unicodedata
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PLATFORM_TABLE = ROOT / "engine" / "cp932_table.inc"
FOLD_TABLE = ROOT / "engine" / "fold_table.inc"

LEAD_BYTES = [*range(0x81, 0xA0), *range(0xE0, 0xFD)]
TRAIL_BYTES = [*range(0x40, 0x7F), *range(0x80, 0xFD)]
QUESTION_MARK = 0x3F
BYTES_AT_MOST = 2
YEN_AND_OVERLINE = (b"\x5c", b"\x7e")  # JIS X 0201's roman set at ASCII's \ and ~

# Python's shift_jis, like most libraries, follows Unicode's withdrawn
# JIS0208.TXT, which puts row 1 cell 29 (0x815C) at U+2015 HORIZONTAL BAR,
# where code page 932 has it too. JIS X 0208:1997's own table gives the
# cell U+2014 EM DASH, the dash that text from other systems carries.
JIS_X_0208_1997 = {0x815C: "\u2014"}

PUNCTUATION = {"\u2012": b"-", "\u2013": b"-", "\u2022": b"\x81\x45"}

COVERAGE_BLOCKS = [
    ("Latin Extended-A", 0x0100, 0x017F),
    ("Latin Extended-B", 0x0180, 0x024F),
    ("General Punctuation", 0x2000, 0x206F),
    ("Superscripts and Subscripts", 0x2070, 0x209F),
    ("Letterlike Symbols", 0x2100, 0x214F),
    ("Enclosed Alphanumerics", 0x2460, 0x24FF),
]


def decode(code, codec):
    try:
        text = code.to_bytes(2, "big").decode(codec)
    except UnicodeDecodeError:
        return None
    return text if len(text) == 1 else None


def decode_jis(code):
    return JIS_X_0208_1997.get(code) or decode(code, "shift_jis")


def platform_codes():
    """The platform's code for each UTF-16 unit, from the generated table."""
    source = re.sub(r"//[^\n]*", "", PLATFORM_TABLE.read_text(encoding="utf-8"))
    index_text = re.search(r"CP932_PAGE_INDEX\[256\] = \{(.*?)\};", source, re.S)
    pages_text = re.search(r"CP932_PAGES\[\d+\]\[256\] = \{(.*)\};", source, re.S)
    index = [int(n, 0) for n in re.findall(r"0x[0-9A-Fa-f]+|\d+", index_text.group(1))]
    codes = [int(n, 0) for n in re.findall(r"0x[0-9A-Fa-f]+|\d+", pages_text.group(1))]
    assert len(index) == 256 and len(codes) % 256 == 0

    def code_of(unit):
        page = index[unit >> 8]
        return QUESTION_MARK if page == 0 else codes[(page - 1) * 256 + (unit & 0xFF)]

    return code_of


def code_bytes(code):
    return bytes([code]) if code < 0x100 else code.to_bytes(2, "big")


def becomes_question_mark(code_of, character):
    unit = ord(character)
    return unit <= 0xFFFF and unit != QUESTION_MARK and code_of(unit) == QUESTION_MARK


def held(code_of, character):
    """The bytes of a character that code page 932 maps to itself; None for
    one it turns into '?' or maps to another (best fit)."""
    if ord(character) > 0xFFFF or becomes_question_mark(code_of, character):
        return None
    encoded = code_bytes(code_of(ord(character)))
    try:
        return encoded if encoded.decode("cp932") == character else None
    except UnicodeDecodeError:
        return None


def jis_folds(code_of):
    """{character: bytes} of the JIS group, and the JIS characters the
    platform maps itself."""
    folds, mapped = {}, []
    for lead in LEAD_BYTES:
        for trail in TRAIL_BYTES:
            code = lead << 8 | trail
            jis, cp932 = decode_jis(code), decode(code, "cp932")
            if jis is None or cp932 is None or jis == cp932:
                continue
            if code_of(ord(jis)) == QUESTION_MARK:
                folds[jis] = code_bytes(code)
            else:
                mapped.append((jis, code_of(ord(jis))))
    return folds, sorted(mapped)


def compatibility_folds(code_of, earlier):
    """{character: bytes} of the compatibility group: each BMP character
    that becomes '?' and has an NFKC form of characters code page 932 holds
    (or the groups before fold), in two bytes at most."""
    folds = {}
    for unit in range(0x80, 0x10000):
        character = chr(unit)
        if 0xD800 <= unit <= 0xDFFF or character in earlier:
            continue
        if not becomes_question_mark(code_of, character):
            continue
        form = unicodedata.normalize("NFKC", character)
        if form == character:
            continue
        parts = [held(code_of, c) or earlier.get(c) for c in form]
        if any(part is None for part in parts):
            continue
        encoded = b"".join(parts)
        if len(encoded) <= BYTES_AT_MOST and encoded not in YEN_AND_OVERLINE:
            folds[character] = encoded
    return folds


def all_folds(code_of):
    """{character: (bytes, group)} of every group, and what the JIS group
    leaves to the platform."""
    jis, mapped = jis_folds(code_of)
    folds = {c: (b, "JIS") for c, b in jis.items()}
    folds.update({c: (b, "punctuation") for c, b in PUNCTUATION.items()})
    earlier = {c: b for c, (b, _) in folds.items()}
    folds.update({c: (b, "NFKC") for c, b in compatibility_folds(code_of, earlier).items()})
    return folds, mapped


def name(character):
    return unicodedata.name(character, "U+%04X" % ord(character))


def generate():
    code_of = platform_codes()
    folds, mapped = all_folds(code_of)
    lines = [
        "// Generated by tools/foldgen.py; do not edit.",
        "// Regenerate with: python3 tools/foldgen.py",
        "//",
        "// The characters that code page 932 turns into '?' and that have a look-alike",
        "// in it: from the JIS mapping, the dashes and the bullet, and NFKC forms",
        "// (tools/foldgen.py says why each group is there). Sorted by unit; each",
        "// look-alike is one or two bytes, the comment shows how code page 932 reads",
        "// them. Where the JIS mapping and code page 932 differ but the platform maps",
        "// the JIS character itself (best fit), there is nothing to fold:",
    ]
    lines += ["//   U+%04X %s -> 0x%04X" % (ord(c), name(c), code) for c, code in mapped]
    lines += ["// clang-format off", "", "constexpr FoldEntry FOLD_TABLE[] = {"]
    for character in sorted(folds):
        encoded, group = folds[character]
        padded = list(encoded) + [0] * (BYTES_AT_MOST - len(encoded))
        lines.append("  {0x%04X, {%d, {%s}}}, // %s: \"%s\" (%s)"
                     % (ord(character), len(encoded), ", ".join("0x%02X" % b for b in padded),
                        name(character), encoded.decode("cp932"), group))
    lines += ["};", ""]
    return "\n".join(lines)


ENTRY = re.compile(r"\{0x([0-9A-F]{4}), \{([12]), \{0x([0-9A-F]{2}), 0x([0-9A-F]{2})\}\}\}, "
                   r"// [^\n]*\((JIS|punctuation|NFKC)\)$", re.M)


def check():
    """The committed table against a regeneration, and each entry against
    the rules: the platform turns the unit into '?'; the look-alike is one
    or two bytes that code page 932 reads as characters it maps back to
    those bytes; a JIS entry's code is the unit in the JIS mapping and
    another character in code page 932; an NFKC entry reads as the unit's
    NFKC form, character by character or through another entry."""
    problems = []
    committed = FOLD_TABLE.read_text(encoding="utf-8")
    if committed != generate():
        problems.append("engine/fold_table.inc differs from python3 tools/foldgen.py's output")
    code_of = platform_codes()
    entries = ENTRY.findall(committed)
    if not entries:
        problems.append("no entries in engine/fold_table.inc")
    units = [int(entry[0], 16) for entry in entries]
    if units != sorted(set(units)):
        problems.append("the entries are not sorted by unit, each once")
    readings = {}
    for unit_text, length_text, first, second, _ in entries:
        encoded = bytes([int(first, 16), int(second, 16)])[:int(length_text)]
        try:
            readings[chr(int(unit_text, 16))] = (encoded, encoded.decode("cp932"))
        except UnicodeDecodeError:
            problems.append("U+%s: code page 932 cannot read %s" % (unit_text, encoded.hex()))
    for unit_text, _, _, _, group in entries:
        unit = int(unit_text, 16)
        if chr(unit) not in readings:
            continue
        encoded, reading = readings[chr(unit)]
        if code_of(unit) != QUESTION_MARK:
            problems.append("U+%04X: the platform maps it to 0x%04X" % (unit, code_of(unit)))
        if b"".join(held(code_of, c) or b"?" for c in reading) != encoded:
            problems.append("U+%04X: %s does not map back to %s" % (unit, reading, encoded.hex()))
        if group == "JIS":
            code = int.from_bytes(encoded, "big")
            if decode_jis(code) != chr(unit) or reading == chr(unit):
                problems.append("U+%04X: 0x%04X is not its JIS code read as another" % (unit, code))
        elif group == "punctuation":
            if PUNCTUATION.get(chr(unit)) != encoded:
                problems.append("U+%04X: not the look-alike chosen for it" % unit)
        else:
            form = unicodedata.normalize("NFKC", chr(unit))
            expected = "".join(c if held(code_of, c) else readings.get(c, (b"", "?"))[1]
                               for c in form)
            if expected != reading:
                problems.append("U+%04X: reads as %r, its NFKC form as %r" % (unit, reading, expected))
    for problem in problems:
        print(problem, file=sys.stderr)
    print("fold table: %d entries, %d problems" % (len(entries), len(problems)))
    return 1 if problems else 0


def coverage():
    code_of = platform_codes()
    jis, _ = jis_folds(code_of)
    folds, _ = all_folds(code_of)
    print("%-28s %5s %8s %7s" % ("block", "'?'", "before", "after"))
    totals = [0, 0, 0]
    for block, first, last in COVERAGE_BLOCKS:
        lost = [chr(u) for u in range(first, last + 1)
                if unicodedata.category(chr(u)) != "Cn" and becomes_question_mark(code_of, chr(u))]
        counts = [len(lost), sum(c in jis for c in lost), sum(c in folds for c in lost)]
        totals = [t + n for t, n in zip(totals, counts)]
        print("%-28s %5d %8d %7d" % (block, *counts))
    print("%-28s %5d %8d %7d" % ("all six", *totals))
    print("Unicode %s" % unicodedata.unidata_version)
    return 0


def main():
    if sys.argv[1:] == ["--check"]:
        return check()
    if sys.argv[1:] == ["--coverage"]:
        return coverage()
    if sys.argv[1:]:
        print(__doc__, file=sys.stderr)
        return 2
    FOLD_TABLE.write_text(generate(), encoding="utf-8")
    print("regenerated engine/fold_table.inc")
    return 0


if __name__ == "__main__":
    sys.exit(main())
