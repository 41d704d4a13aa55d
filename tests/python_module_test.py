"""The Python module against the program: the same bytes, the same faults, and an
attack that is found and one that is stopped."""
import os
import random
import subprocess
import tempfile
import time

import pytest

import rotorwerk

PROGRAM = os.environ["ROTORWERK_PROGRAM"]
WIRING = ("jlgkywcrmadbipvnxhtszofqeu 3 wgbzodnfaepxsrhvjtkcuqmyli "
          "lekfhorgbswcuzjavyixmptqnd hoclsfbzakedngtyqujmxirwpv\n")
START = "5\nbw dx ej mu qr\n3 1 2\n11 4 20\n"
TEXT = b"Charles wrote to Ada on Monday: meet me at the old mill by the river at noon today.\n"


def program(directory, *words, stdin=b""):
    return subprocess.run([PROGRAM, *words, "-s", directory], input=stdin,
                          capture_output=True, check=False)


@pytest.fixture
def keys():
    with tempfile.TemporaryDirectory() as directory:
        yield directory


def save(directory, settings):
    for name, text in (("enigma_config.ef", settings.wiring_text),
                       ("enigma_init.ef", settings.start_text)):
        with open(os.path.join(directory, name), "w", encoding="ascii") as out:
            out.write(text)


@pytest.mark.parametrize("seed", range(4))
def test_encryption_is_the_programs_to_the_byte(keys, seed):
    random.seed(seed)
    settings = rotorwerk.keygen(rotors=random.randint(1, 10), plugs=random.randint(0, 13))
    save(keys, settings)
    # Letters of both cases, GBK bytes, CR LF, and bytes that are no text at all.
    text = (b"Dear Ada,\r\n" + "中文".encode("gbk") + bytes(random.randrange(256) for _ in range(300))
            + b"\r\nthe END\n")
    for lang in ("en", "zh"):
        for coding_type in (rotorwerk.PLAIN_CODING_TYPE, rotorwerk.CHECKED_CODING_TYPE):
            expected = program(keys, "encrypt", "-", "-o", "-", "-l", lang, "-t", coding_type,
                               stdin=text).stdout
            assert rotorwerk.encrypt(settings, text, lang=lang, coding_type=coding_type) == expected
    # A machine typed at letter by letter gives the code file's body.
    machine = rotorwerk.Machine(settings)
    typed = "".join(machine.press(chr(c)) for c in b"Attack at dawn")
    assert rotorwerk.encrypt(settings, "Attack at dawn")[7:21] == typed.encode()
    # Its steps are the trace's rows.
    rows = program(keys, "trace", "-", "--format", "tsv", "-n", "5", stdin=b"Hello").stdout
    machine.reset()
    for line, letter in zip(rows.decode().splitlines()[1:], "Hello"):
        step = machine.trace(letter)
        cells = line.split("\t")
        assert [int(c) for c in cells[1:4]] == list(step.positions)
        stages = [step.plugboard, step.right_rotor, step.middle_rotor, step.left_rotor,
                  step.reflector, step.left_back, step.middle_back, step.right_back, step.output]
        assert cells[5:14] == [chr(ord("a") + s) for s in stages]


def test_decryption_verifies_the_check_letters():
    settings = rotorwerk.Settings.parse(WIRING, START)
    code = rotorwerk.encrypt(settings, TEXT, lang="zh")
    text, check = rotorwerk.decrypt(settings, code)
    assert (text, check.lang, check.verified, check.failed_checks) == (TEXT, "zh", True, 0)
    # Another start offset: the text is other, and two or more check letters fail.
    other = rotorwerk.Settings.parse(WIRING, START.replace("11 4 20", "11 4 21"))
    text, check = rotorwerk.decrypt(other, code)
    assert text != TEXT and not check.verified and check.failed_checks >= 1
    with pytest.raises(rotorwerk.Error) as raised:
        rotorwerk.decrypt(settings, b"no code file")
    assert raised.value.kind == "format"


def test_a_fault_is_raised_with_the_programs_reason(keys):
    for name, text in (("enigma_config.ef", WIRING), ("enigma_init.ef", START.replace("3 1 2", "3 1 7"))):
        with open(os.path.join(keys, name), "w", encoding="ascii") as out:
            out.write(text)
    with pytest.raises(rotorwerk.Error) as raised:
        rotorwerk.Settings.load(keys)
    said = program(keys, "check").stderr.decode()
    assert said == "rotorwerk: " + str(raised.value) + "\n"
    assert raised.value.kind == "settings"


def test_attack_refuses_an_unknown_language_and_raises_what_a_callback_raised():
    settings = rotorwerk.Settings.parse(WIRING, START)
    wiring = rotorwerk.Settings.parse_wiring(WIRING)
    code = rotorwerk.encrypt(settings, TEXT)
    with pytest.raises(rotorwerk.Error) as raised:
        rotorwerk.attack(code, wiring, language="xx")
    assert raised.value.kind == "attack-input"
    assert "xx" in str(raised.value)

    def fail(status):
        raise KeyError("halt")

    began = time.monotonic()
    with pytest.raises(KeyError):
        rotorwerk.attack(code, wiring, threads=2, time_limit=600, on_progress=fail)
    assert time.monotonic() - began < 10


def test_attack_finds_the_key_and_stops_when_asked():
    settings = rotorwerk.Settings.parse(WIRING, START)
    wiring = rotorwerk.Settings.parse_wiring(WIRING)
    code = rotorwerk.encrypt(settings, TEXT)
    found = rotorwerk.attack(code, wiring, threads=2, time_limit=600,
                             crib="meet me at the old mill@26")
    assert found.confident and found.start_text == START
    seen = []
    began = time.monotonic()
    stopped = rotorwerk.attack(code, wiring, threads=2, time_limit=600,
                               on_progress=lambda status: seen.append(status.stage) or 0)
    assert seen and not stopped.searched and time.monotonic() - began < 10
