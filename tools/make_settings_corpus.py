#!/usr/bin/env python3
"""Writes the settings files that tests/unit/SettingsFuzzTest.cpp replays.

A few seeds (a full settings file, the odd encodings regedit and hand edits produce) and
mutations of them: flipped, dropped, doubled and cut bytes and lines, extreme numbers,
dates that are not numbers. The output is committed; run again only to change the corpus:
    tools/make_settings_corpus.py tests/fuzz/settings
"""
import os
import random
import struct
import sys

ROOT = "HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\"


def section(name, *lines):
    return "[" + ROOT + name + "]\n" + "".join(l + "\n" for l in lines)


def date(value):
    return "hex:" + ",".join("%02x" % b for b in struct.pack("<d", value))


def full_file():
    return ("Windows Registry Editor Version 5.00\n\n"
            + section("Base", '"OK"=dword:00000001')
            + section("Wallpaper", '"PathsCount"=dword:00000002', '"Path 1"="/home/u/Pictures"',
                      '"Path 2"="/media/p \\"q\\" \\\\"', '"ChangeRule"=dword:00000002',
                      '"ChangeDelay"=dword:0000000a', '"BackgroundColor"=dword:00123456',
                      '"SelPath"="/home/u/Pictures"', '"SelFile"="a.jpg"',
                      '"LastTimeWallpaperChanged"=' + date(46000.25))
            + section("Calendar", '"ShowCalendar"=dword:00000001', '"Style"=dword:00000002',
                      '"Size"=dword:00000040', '"Font"="DejaVu Sans"',
                      '"ColorMonthYear"=dword:0000b3ff')
            + section("Reminders", '"Reminder Count"=dword:00000003',
                      '"Snoozed Count"=dword:00000001')
            + section("Popup Reminder 1", '"Name"="Dentist"', '"Text"="Line"',
                      '"DateTime"=' + date(46096.4375), '"Recur"=dword:00000003',
                      '"RecurDay"=dword:0000001f')
            + section("Popup Reminder 2", '"Name"="Daily"', '"DateTime"=' + date(46000.5),
                      '"Recur"=dword:00000001')
            + section("Popup Reminder 3", '"Name"="Leap"', '"DateTime"=' + date(45351.0),
                      '"Recur"=dword:00000004')
            + section("Snoozed Reminder 1", '"Name"="Later"', '"DateTime"=' + date(46096.45))
            + section("Program", '"ExitAfterSet"=dword:00000000', '"LastYear"=dword:000007ea',
                      '"LastMonth"=dword:00000003', '"LastDay"=dword:0000000f',
                      '"LastImageFileName"="/home/u/Pictures/a.jpg"')
            + section("Email", '"AccountsNumber"=dword:00000001')
            + section("Email Accounts", '"name 1"="Home"', '"Server 1"="pop.example"',
                      '"User 1"="me"', '"Password 1"="secret"', '"EnableCheck 1"=dword:00000001',
                      '"IntervalMinutes"=dword:00000014', '"EnableCheck"=dword:00000001')
            + section("ColorReminders", '"ColorRemCount"=dword:00000002',
                      '"date0"=dword:0000b3b0', '"style0"=dword:00000001',
                      '"date1"=dword:0000b3b1', '"style1"=dword:00000002')
            + section("Future", '"Thing"=hex(b):01,00,00,00,00,00,00,00', '@="default"'))


def seeds():
    full = full_file().encode("utf-8")
    out = {"full": full}
    out["utf16"] = b"\xff\xfe" + full_file().replace("\n", "\r\n").encode("utf-16-le")
    out["odd-text"] = full.replace(b'"/home/u/Pictures"\n"Path 2"', b'"/tmp/caf\xe9"\n"Path 2"') \
        .replace(b'"Font"="DejaVu Sans"', b'"Font"=hex(1):41,00,3d,d8,42') \
        .replace(b'"Thing"=', b'"Odd"=hex(1):3d,d8,00,00\n"Thing"=')
    out["counts"] = full.replace(b"dword:00000003", b"dword:7fffffff") \
        .replace(b'"PathsCount"=dword:00000002', b'"PathsCount"=dword:7fffffff') \
        .replace(b'"ColorRemCount"=dword:00000002', b'"ColorRemCount"=dword:ffffffff')
    nan = date(float("nan")).encode()
    out["dates"] = full.replace(date(46096.4375).encode(), nan) \
        .replace(date(46000.5).encode(), date(float("inf")).encode()) \
        .replace(date(45351.0).encode(), date(1e300).encode())
    return out


EXTREMES = [b"00000000", b"ffffffff", b"7fffffff", b"80000000", b"0000001f", b"00000020"]
DATES = [float("nan"), float("inf"), -float("inf"), 1e300, -1e300, -657435.0, 2958466.0,
         0.0, -1.5, 2958465.99999]


def mutate(data, rng):
    lines = data.split(b"\n")
    kind = rng.randrange(9)
    if kind == 0 and data:  # flip bytes
        b = bytearray(data)
        for _ in range(rng.randint(1, 8)):
            b[rng.randrange(len(b))] ^= 1 << rng.randrange(8)
        return bytes(b)
    if kind == 1 and len(lines) > 2:  # drop lines
        for _ in range(rng.randint(1, 4)):
            del lines[rng.randrange(1, len(lines))]
    elif kind == 2:  # double a line
        i = rng.randrange(len(lines))
        lines.insert(i, lines[i])
    elif kind == 3:  # cut the file
        return data[:rng.randrange(len(data) + 1)]
    elif kind == 4:  # extreme numbers
        for i, l in enumerate(lines):
            if b"dword:" in l and rng.random() < 0.4:
                lines[i] = l[:l.index(b"dword:") + 6] + rng.choice(EXTREMES)
    elif kind == 5:  # dates that are not dates
        for i, l in enumerate(lines):
            if l.startswith(b'"DateTime"=') and rng.random() < 0.7:
                lines[i] = b'"DateTime"=' + date(rng.choice(DATES)).encode()
    elif kind == 6:  # bytes that are not UTF-8, or a stray escape
        i = rng.randrange(len(lines))
        pos = rng.randrange(len(lines[i]) + 1)
        lines[i] = lines[i][:pos] + rng.choice([b"\xff", b"\xc3", b"\xed\xa0\x80", b"\\", b"\"", b"\r"]) + lines[i][pos:]
    elif kind == 7:  # a continued hex list
        lines.insert(rng.randrange(1, len(lines) + 1), b'"Wrapped"=hex(7):41,00,\\')
    else:  # shuffle two lines
        i, j = rng.randrange(len(lines)), rng.randrange(len(lines))
        lines[i], lines[j] = lines[j], lines[i]
    return b"\n".join(lines)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "tests/fuzz/settings"
    os.makedirs(out, exist_ok=True)
    rng = random.Random(20261210)
    for name, data in seeds().items():
        with open(os.path.join(out, "seed-%s.reg" % name), "wb") as f:
            f.write(data)
        for n in range(8):
            mutated = data
            for _ in range(rng.randint(1, 3)):
                mutated = mutate(mutated, rng)
            with open(os.path.join(out, "%s-%d.reg" % (name, n)), "wb") as f:
                f.write(mutated)


if __name__ == "__main__":
    main()
