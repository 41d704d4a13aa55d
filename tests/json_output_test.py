#!/usr/bin/env python3
"""check, trace and attack with --json: one JSON document on standard output each,
read with a JSON parser and checked field by field against the sample key."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

program, examples = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp()
try:
    for name in ("enigma_config.ef", "enigma_init.ef", "letter.txt"):
        shutil.copy(os.path.join(examples, name), work)
    environment = dict(os.environ, LC_ALL="C.UTF-8")

    def run(*arguments):
        done = subprocess.run([program, *arguments], cwd=work, env=environment,
                              capture_output=True, check=False)
        return done.returncode, json.loads(done.stdout)

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
    subprocess.run([program, "encrypt", "letter.txt", "-o", "letter.code", "-q"], cwd=work,
                   env=environment, check=True)
    with open(os.path.join(work, "letter.code"), encoding="ascii", errors="replace") as code:
        body = code.read()[7:]
    assert "".join(row["out"] for row in trace["letters"]) == body[:3], (trace, body[:3])

    os.mkdir(os.path.join(work, "wiring"))
    shutil.copy(os.path.join(examples, "enigma_config.ef"), os.path.join(work, "wiring"))
    status, attack = run("attack", "letter.code", "-s", "wiring", "--json",
                         "--crib", "the machine works@8")
    assert status == 0, status
    assert attack["found"] is True and attack["evidence"] != "none", attack
    assert attack["start"] == {"slots": check["slots"], "offsets": check["offsets"],
                               "plugPairs": check["plugPairs"]}, attack
    assert attack["firstLine"] == "Dear Ada,", attack
    print("json: check, trace and attack read back field by field")
finally:
    shutil.rmtree(work)
