"""The Python module against the program: the same bytes, the same faults, and an
attack that is found and one that is stopped."""
import ast
import inspect
import os
import pydoc
import random
import re
import subprocess
import sys
import tempfile
import threading
import time

import pytest

import rotorwerk

PROGRAM = os.environ["ROTORWERK_PROGRAM"]
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
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


# Every way in that enciphers or deciphers, given settings with the wiring only.
KEYLESS_CALLS = [
    ("encrypt", lambda s: rotorwerk.encrypt(s, "Meet me at the old mill")),
    ("decrypt", lambda s: rotorwerk.decrypt(s, b"RW-Eng Zyxw vu#RW-26001A ")),
    ("Machine", rotorwerk.Machine),
    ("trace", lambda s: rotorwerk.trace(s, "Meet me", check_letters=True)),
]


@pytest.mark.parametrize("name,call", KEYLESS_CALLS, ids=[name for name, _ in KEYLESS_CALLS])
def test_settings_without_a_start_file_encipher_nothing(name, call):
    wiring = rotorwerk.Settings.parse_wiring(WIRING)
    with pytest.raises(rotorwerk.Error) as raised:
        call(wiring)
    assert raised.value.kind == "settings"
    assert "no start file" in str(raised.value)


def test_trace_shows_a_huge_offsets_check_letters_as_letters():
    settings = rotorwerk.Settings.parse(WIRING, START.replace("11 4 20", "255 -1 9223372036854775807"))
    steps = rotorwerk.trace(settings, "Meet me", check_letters=True)[-3:]
    assert [step.input for step in steps] == [25, 25, 25]
    assert all(0 <= step.plugboard < 26 for step in steps)


def test_a_wait_for_a_folders_lock_lets_other_threads_run(keys):
    save(keys, rotorwerk.Settings.parse(WIRING, START))
    holder = subprocess.Popen(
        [sys.executable, "-c", "import fcntl, os, sys, time\n"
         "fcntl.flock(os.open(sys.argv[1], os.O_RDONLY), fcntl.LOCK_EX)\n"
         "print(flush=True)\ntime.sleep(2)", keys], stdout=subprocess.PIPE)
    try:
        assert holder.stdout.readline() == b"\n"
        # A NUL ends the name the system would see: refused before the folder is locked.
        began = time.monotonic()
        with pytest.raises(ValueError, match="NUL"):
            rotorwerk.Settings.load(keys + "\0/x")
        with pytest.raises(ValueError, match="NUL"):
            rotorwerk.Settings.load_wiring(keys + "\0")
        assert time.monotonic() - began < 0.5
        ticks = []
        waiting = threading.Event()
        waiting.set()

        def count():
            while waiting.is_set():
                ticks.append(time.monotonic())
                time.sleep(0.01)
        counter = threading.Thread(target=count)
        counter.start()
        began = time.monotonic()
        try:
            settings = rotorwerk.Settings.load(keys)
        finally:
            waiting.clear()
            counter.join()
        waited = time.monotonic() - began
    finally:
        holder.wait()
    assert settings.start_text == START
    # It waited for the lock, and the counter ran all the while: a thread stalled behind
    # the wait shows one gap as long as the wait.
    gap = max(later - earlier for earlier, later in zip(ticks, ticks[1:]))
    assert waited > 1.0 and gap < 0.5, (waited, gap, len(ticks))


def test_every_fault_kind_has_its_python_name():
    with open(os.path.join(SOURCE, "include", "rotorwerk", "result.h"), encoding="utf-8") as header:
        body = re.search(r"enum class FaultKind \{(.*?)\};", header.read(), re.S).group(1)
    kinds = re.findall(r"^\s*k(\w+),", body, re.M)
    assert len(kinds) >= 13, kinds
    # kFileNotFound is "file-not-found": each name spelled from its enumerator, in order.
    expected = tuple(re.sub(r"(?<!^)([A-Z])", r"-\1", kind).lower() for kind in kinds)
    assert rotorwerk.FAULT_KINDS == expected
    # And the kind a raised fault carries is its own.
    with pytest.raises(rotorwerk.Error) as raised:
        rotorwerk.decrypt(rotorwerk.Settings.parse(WIRING, START), b"no code file")
    assert raised.value.kind == expected[kinds.index("Format")]
    with pytest.raises(rotorwerk.Error) as raised:
        rotorwerk.Settings.parse(WIRING, START.replace("3 1 2", "3 1 7"))
    assert raised.value.kind == expected[kinds.index("Settings")]


def test_the_attack_refuses_an_unknown_language():
    code = rotorwerk.encrypt(rotorwerk.Settings.parse(WIRING, START), TEXT)
    began = time.monotonic()
    with pytest.raises((rotorwerk.Error, ValueError)) as raised:
        rotorwerk.attack(code, rotorwerk.Settings.parse_wiring(WIRING), threads=1,
                         time_limit=2, language="xx")
    # The refusal comes from the library, before any search.
    said = str(raised.value)
    assert ("xx" in said or "language" in said) and time.monotonic() - began < 1, said


def test_a_progress_answer_of_none_goes_on():
    settings = rotorwerk.Settings.parse(WIRING, START)
    code = rotorwerk.encrypt(settings, TEXT)
    seen = []
    found = rotorwerk.attack(code, rotorwerk.Settings.parse_wiring(WIRING), threads=2,
                             time_limit=600, crib="meet me at the old mill@26",
                             on_progress=seen.append)
    assert len(seen) > 1 and found.searched and found.start_text == START


def stub_docstrings():
    """Each documented name of the installed stubs, with its docstring."""
    path = os.path.join(os.path.dirname(rotorwerk.__file__), "__init__.pyi")
    with open(path, encoding="utf-8") as stubs:
        tree = ast.parse(stubs.read())
    found = {"": ast.get_docstring(tree)}
    for node in tree.body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            found[node.name] = ast.get_docstring(node)
        if isinstance(node, ast.ClassDef):
            for member in node.body:
                if isinstance(member, ast.FunctionDef) and ast.get_docstring(member):
                    found[node.name + "." + member.name] = ast.get_docstring(member)
    return found


def test_help_shows_every_name_with_the_stubs_words():
    documented = stub_docstrings()
    for name in rotorwerk.__all__:
        if inspect.isclass(getattr(rotorwerk, name)) or callable(getattr(rotorwerk, name)):
            assert documented.get(name), name
    for name, words in documented.items():
        owner, _, member = name.rpartition(".")
        target = rotorwerk if not name else getattr(rotorwerk, name.split(".")[0])
        if owner:
            target = inspect.getattr_static(getattr(rotorwerk, owner), member)
            target = getattr(target, "__func__", target)
        # pybind11 puts a function's signature above its words.
        assert inspect.cleandoc(target.__doc__).endswith(words), (name, target.__doc__)
    shown = pydoc.render_doc(rotorwerk, renderer=pydoc.plaintext)
    for name in ("Settings", "Machine", "Error", "AttackOutcome", "encrypt", "attack"):
        assert re.search(rf"^ *(class )?{name}\b", shown, re.M), name
