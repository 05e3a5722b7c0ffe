#!/usr/bin/env python3
"""Generates platform/text/PyCodeTable.cpp, the reading table behind the pinyin-initials lookup.

Input:
  * Unihan readings of the Unicode Character Database, as shipped by Debian's `unicode-data`
    package: /usr/share/unicode/Unihan_Readings.txt.bz2 (version 15.0.0-1 when this table was
    made; `dpkg -L unicode-data` lists it).  Unicode's own Unihan.zip works too (--unihan).
    Each character gets the first reading of its kMandarin field; a CJK compatibility ideograph
    without one takes the reading of its canonical equivalent.  OVERRIDES below wins over both.
  * GBK byte positions from glibc's iconv (the `iconv` command, "GBK" to "UTF-8").  The program
    converts with the same glibc converter (platform/text/Gbk.cpp), so the positions in the table
    are exactly the bytes the program produces at run time; Python's own codec is not used for
    that reason, even though it agrees with glibc on every ideograph today.

Output: a 126 x 191 matrix of 16-bit syllable numbers indexed by (lead - 129) * 191 + (trail - 64)
for leads 0x81-0xFE and trails 0x40-0xFE, 0 meaning no reading, and the alphabetically sorted list
of toneless syllables the numbers select (1-based).  The script refuses to write a table in which
a GB2312 character has no reading or a checked character reads differently from CHECKS.

Usage: tools/gen_pytable.py [--unihan PATH] [--out PATH]      (Python 3 standard library only)
"""

import argparse
import bz2
import io
import os
import subprocess
import sys
import unicodedata
import zipfile

DEFAULT_UNIHAN = "/usr/share/unicode/Unihan_Readings.txt.bz2"
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO, "platform", "text", "PyCodeTable.cpp")

# Readings that differ from Unihan's first kMandarin reading.  The lookup keeps one reading per
# character; for these the common word-forming reading is wanted.  None removes a reading.
OVERRIDES = {
    "行": "hang",   # 银行, 行业: the reading used for captions, not xing
    "还": "huan",   # 还款, 退还
    "屗": "uu",     # a rare GBK extension character kept with the reading of the original table
    "兝": None,     # a unit character (decagram) with no Mandarin reading of its own
}

# Characters whose reading the table must have (None: no reading).
CHECKS = {
    "啊": "a", "中": "zhong", "不": "bu", "数": "shu", "量": "liang", "行": "hang",
    "长": "zhang", "重": "zhong", "还": "huan", "都": "dou", "乐": "le", "曾": "ceng",
    "会": "hui", "朝": "chao", "传": "chuan", "单": "dan", "沈": "shen", "屗": "uu",
    "兝": None, "瓱": None,
}

LEADS = range(0x81, 0xFF)     # 126 rows
TRAILS = range(0x40, 0xFF)    # 191 columns (0x7F is never a GBK trail; its cells stay 0)
# Rows the lookup decides before the table (numbered symbols, full-width forms, Greek).
RULE_ROWS = {0xA2, 0xA3, 0xA6}


def read_unihan(path):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            raw = z.read("Unihan_Readings.txt")
    elif path.endswith(".bz2"):
        with bz2.open(path, "rb") as f:
            raw = f.read()
    else:
        with open(path, "rb") as f:
            raw = f.read()
    mandarin = {}
    for line in io.StringIO(raw.decode("utf-8")):
        if line.startswith("#") or not line.strip():
            continue
        code, field, value = line.rstrip("\n").split("\t", 2)
        if field == "kMandarin":
            mandarin[chr(int(code[2:], 16))] = value.split()[0]
    return mandarin


def toneless(reading):
    """'lǜ' -> 'lv', 'zhōng' -> 'zhong', 'ê̄' -> 'e'."""
    s = unicodedata.normalize("NFD", reading.lower()).replace("u\u0308", "v")
    s = "".join(ch for ch in s if not unicodedata.combining(ch))
    if not s.isascii() or not s.isalpha() or len(s) > 6:
        raise ValueError("unexpected reading %r" % reading)
    return s


def gbk_positions():
    """(lead, trail) -> the character glibc's iconv decodes there, for every mapped position."""
    cells = [(lead, trail) for lead in LEADS for trail in TRAILS if trail != 0x7F]
    data = b"".join(bytes((lead, trail)) + b"\n" for lead, trail in cells)
    # -c drops unmapped positions; the newline (never a trail byte) keeps the lines aligned.
    out = subprocess.run(["iconv", "-c", "-f", "GBK", "-t", "UTF-8"], input=data,
                         stdout=subprocess.PIPE, check=False).stdout.decode("utf-8")
    lines = out.split("\n")[: len(cells)]
    if len(lines) != len(cells):
        sys.exit("iconv returned %d lines for %d positions" % (len(lines), len(cells)))
    result = {}
    for cell, text in zip(cells, lines):
        if len(text) == 1 and ord(text) >= 0x80:
            result[cell] = text
    return result


def reading_of(ch, mandarin):
    if ch in OVERRIDES:
        return OVERRIDES[ch]
    r = mandarin.get(ch)
    if r is None:
        canon = unicodedata.normalize("NFC", ch)   # compatibility ideograph -> unified one
        if canon != ch:
            r = mandarin.get(canon)
    return toneless(r) if r else None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--unihan", default=DEFAULT_UNIHAN)
    ap.add_argument("--out", default=DEFAULT_OUT)
    args = ap.parse_args()

    mandarin = read_unihan(args.unihan)
    chars = gbk_positions()
    readings = {}
    for cell, ch in chars.items():
        if cell[0] in RULE_ROWS:
            continue
        r = reading_of(ch, mandarin)
        if r:
            readings[cell] = r

    by_char = {ch: readings.get(cell) for cell, ch in chars.items()}
    bad = [ch for ch, want in CHECKS.items() if by_char.get(ch) != want]
    if bad:
        sys.exit("wrong readings: " + " ".join("%s=%s" % (c, by_char.get(c)) for c in bad))
    missing = [chars[(lead, trail)] for lead in range(0xB0, 0xF8) for trail in range(0xA1, 0xFF)
               if (lead, trail) in chars and (lead, trail) not in readings]
    gb2312 = sum(1 for lead in range(0xB0, 0xF8) for trail in range(0xA1, 0xFF)
                 if (lead, trail) in chars)
    if missing or gb2312 != 6763:
        sys.exit("GB2312 characters without a reading: " + "".join(missing))

    syllables = sorted(set(readings.values()))
    number = {s: i + 1 for i, s in enumerate(syllables)}

    out = []
    out.append("// Reading table of the pinyin-initials lookup (platform/text/Pinyin).")
    out.append("// generated by tools/gen_pytable.py — do not edit; run the script to rebuild it.")
    out.append("// Source: Unihan kMandarin readings (Debian unicode-data), GBK positions from glibc iconv.")
    out.append("// %d positions carry one of %d syllables." % (len(readings), len(syllables)))
    out.append("")
    out.append('#include "platform/text/Pinyin.h"')
    out.append("")
    out.append("namespace PyCodeTable {")
    out.append("")
    out.append("const int SyllableCount = %d;" % len(syllables))
    out.append("")
    out.append("const char Syllables[][7] = {")
    for i in range(0, len(syllables), 10):
        out.append("    " + " ".join('"%s",' % s for s in syllables[i:i + 10]))
    out.append("};")
    out.append("")
    out.append("const std::uint16_t Readings[126 * 191] = {")
    for lead in LEADS:
        out.append("    // lead 0x%02X" % lead)
        row = [number.get(readings.get((lead, trail)), 0) for trail in TRAILS]
        for i in range(0, len(row), 16):
            out.append("    " + " ".join("%d," % n for n in row[i:i + 16]))
    out.append("};")
    out.append("")
    out.append("} // namespace PyCodeTable")
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    print("%s: %d positions, %d syllables" % (args.out, len(readings), len(syllables)))


if __name__ == "__main__":
    main()
