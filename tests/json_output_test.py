#!/usr/bin/env python3
"""check, trace and attack with --json: one JSON document on standard output each,
read with a strict JSON parser and checked field by field against the sample key; the
attack's first line holds every byte a JSON string must escape, and invalid UTF-8."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

program, examples = sys.argv[1], sys.argv[2]


def escape_rows():
    """(bytes, their exact JSON escape): every control but the line ends, which end the
    first line, then quote and backslash, C1 as a byte and as UTF-8, sound UTF-8 kept,
    and each kind of invalid UTF-8, the cut-off one last, at the line's end."""
    rows = [(bytes([c]), "\\t" if c == 9 else f"\\u{c:04x}")
            for c in range(0x20) if c not in (0x0A, 0x0D)]
    rows += [(b"\x7f", "\\u007f"), (b'"', '\\"'), (b"\\", "\\\\")]
    for c in (0x80, 0x9B, 0x9F):
        rows += [(bytes([c]), f"\\u{c:04x}"), (bytes([0xC2, c]), f"\\u{c:04x}")]
    for sound in ("\u00a0", "\u00e9", "中", "\u20ac", "\U0010ffff", "\U0001f600"):
        rows.append((sound.encode(), sound))
    for invalid in (b"\xc0\xaf", b"\xc1\xbf", b"\xe0\x80\x80", b"\xe0\x9f\xbf",
                    b"\xf0\x80\x80\x80", b"\xf0\x8f\xbf\xbf",  # overlong
                    b"\xed\xa0\x80", b"\xed\xbf\xbf",  # surrogates
                    b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xff",  # above U+10FFFF
                    "中文".encode("gbk"), b"\xe4\xb8"):  # GBK, and cut off at the end
        rows.append((invalid, "".join(f"\\u{c:04x}" for c in invalid)))
    return rows


ROWS = escape_rows()


def shown_in_a_message(row):
    """A row as a message shows it, escaped as file names are: no control reaches the
    terminal, C1 as a byte or as UTF-8 included."""
    shown, i = b"", 0
    while i < len(row):
        sound = next((row[i:i + n] for n in (1, 2, 3, 4) if utf8_character(row[i:i + n])), b"")
        code = ord(sound.decode()) if sound else row[i]
        if code == 9:
            shown += b"\\t"
        elif sound and 0x80 <= code < 0xA0:
            shown += b"\\u%04X" % code
        elif code < 0x20 or 0x7F <= code < 0xA0:
            shown += b"\\x%02X" % code
        else:
            shown += sound or row[i:i + 1]
        i += len(sound) or 1
    return shown


def utf8_character(part):
    try:
        return len(part.decode("utf-8", "strict")) == 1
    except UnicodeDecodeError:
        return False


work = tempfile.mkdtemp()
try:
    for name in ("enigma_config.ef", "enigma_init.ef", "letter.txt"):
        shutil.copy(os.path.join(examples, name), work)
    # The attack's text: the letter below a first line of the rows, which hold no letter,
    # so the crib still stands at the letter's eighth.
    with open(os.path.join(examples, "letter.txt"), "rb") as letter, \
            open(os.path.join(work, "hostile.txt"), "wb") as hostile:
        hostile.write(b"|".join(row for row, _ in ROWS) + b"\n" + letter.read())
    environment = dict(os.environ, LC_ALL="C.UTF-8")

    def run(*arguments, raw=None):
        done = subprocess.run([program, *arguments], cwd=work, env=environment,
                              capture_output=True, check=False)
        if raw is not None:
            raw.append(done.stdout.decode("utf-8", "strict"))
        return done.returncode, json.loads(done.stdout.decode("utf-8", "strict"))

    status, check = run("check", "--json")
    assert status == 0, status
    assert check == {"rotors": 6, "slots": [2, 5, 4], "plugPairs": ["dx", "kw", "mu", "qr"],
                     "offsets": [7, 19, 3]}, check

    status, trace = run("trace", "letter.txt", "--json", "-n", "3", "-t", "RW-26001B")
    assert status == 0, status
    assert [row["n"] for row in trace["letters"]] == [1, 2, 3], trace
    assert [(row["left"], row["middle"], row["right"]) for row in trace["letters"]] == \
        [(7, 19, 4), (7, 19, 5), (7, 19, 6)], trace
    assert trace["letters"][0]["in"] == "D" and len(trace["checkLetters"]) == 3, trace
    # The out letters are encrypt's: the code file's first letters.
    for name in ("letter", "hostile"):
        subprocess.run([program, "encrypt", name + ".txt", "-o", name + ".code", "-q"],
                       cwd=work, env=environment, check=True)
    with open(os.path.join(work, "letter.code"), encoding="ascii", errors="replace") as code:
        body = code.read()[7:]
    assert "".join(row["out"] for row in trace["letters"]) == body[:3], (trace, body[:3])

    os.mkdir(os.path.join(work, "wiring"))
    shutil.copy(os.path.join(examples, "enigma_config.ef"), os.path.join(work, "wiring"))
    document = []
    status, attack = run("attack", "hostile.code", "-s", "wiring", "--json",
                         "--crib", "the machine works@8", raw=document)
    assert status == 0, status
    assert attack["found"] is True and attack["evidence"] != "none", attack
    assert attack["start"] == {"slots": check["slots"], "offsets": check["offsets"],
                               "plugPairs": check["plugPairs"]}, attack
    # Each row escaped exactly, and a line end too (in the start file's text).
    line = '"firstLine": "' + "|".join(escape for _, escape in ROWS) + '"'
    assert line in document[0], (line, document[0])
    assert '"startFile": "' + attack["startFile"].replace("\n", "\\n") + '"' in document[0]
    # The report for people escapes the same line as messages escape file names.
    report = subprocess.run([program, "attack", "hostile.code", "-s", "wiring", "--crib",
                             "the machine works@8"], cwd=work, env=environment,
                            capture_output=True, check=False)
    line = b"first line: " + b"|".join(shown_in_a_message(row) for row, _ in ROWS) + b"\n"
    assert report.returncode == 0 and line in report.stderr, (line, report.stderr)
    print("json: check, trace and attack read back field by field")
finally:
    shutil.rmtree(work)
