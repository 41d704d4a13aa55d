#!/usr/bin/env python3
"""The page in headless Chromium against the program, served and opened from disk: it
loads with no console error and asks nothing of the network; typed letters, the drawn
path, files enciphered and deciphered in it, and its attack are the program's, byte for
byte; each picker's file is the file it names, a drop says which file it took for which,
and a file far too large for settings is refused at once; the attack runs from the
wiring file alone, and its Stop shows the best key found so far.

Usage: web_page_test.py PAGE_DIRECTORY PROGRAM SAMPLES_DIRECTORY"""
import functools
import hashlib
import http.server
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

sys.dont_write_bytecode = True  # no cache of the helpers in the source tree
from web_page_support import (  # noqa: E402
    PAGE, PROGRAM, SAMPLES, download, encipher, enciphered, fail, program, read, settle,
    status_after, upload, use_key, write)

if not os.path.isfile(os.path.join(PAGE, "index.html")):
    print("web page: SKIPPED: no page built in %s (tools/build-web builds it)" % PAGE)
    sys.exit(77)


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Quiet, directory=PAGE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    origin = "http://127.0.0.1:%d/" % server.server_address[1]
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--lang=en-US", "--window-size=360,2400"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        check(browser, origin, True)
        # Opened from disk, as a double-click opens it: typing, files and the attack's
        # worker work there too.
        check(browser, "file://%s/" % PAGE, False)
    finally:
        browser.quit()
        server.shutdown()


def check_refusal(browser):
    """A faulty key is refused with the program's reason, and the sample key taken."""
    with tempfile.TemporaryDirectory() as bad:
        for name in ("enigma_config.ef", "enigma_init.ef"):
            content = read(os.path.join(SAMPLES, name))
            write(os.path.join(bad, name),
                  content.replace("7 19 3", "7 19 x") if "init" in name else content)
        browser.execute_script(
            "document.getElementById('wiring-text').value = arguments[0];"
            "document.getElementById('start-text').value = arguments[1];",
            read(os.path.join(bad, "enigma_config.ef")), read(os.path.join(bad, "enigma_init.ef")))
        browser.find_element(By.ID, "use").click()
        said = subprocess.run([PROGRAM, "check", "-s", "."], cwd=bad, capture_output=True,
                              check=False).stderr.decode().strip()
        shown = browser.find_element(By.ID, "settings-status").text
        if "rotorwerk: " + shown != said.replace("./", ""):
            fail("the page said %r where the program says %r" % (shown, said))
    use_key(browser, SAMPLES)


def check_typing(browser):
    """Typed at the keyboard: the lamps are the program's letters, and each drawn path
    the program's trace of that letter."""
    text = "HelloWorld"
    rows = program(SAMPLES, "trace", "-", "--format", "tsv", "-n", "10",
                   stdin=text.encode()).decode().splitlines()
    names = rows[0].split("\t")
    body = browser.find_element(By.TAG_NAME, "body")
    for k, letter in enumerate(text):
        body.send_keys(letter)
        drawn = browser.execute_script(
            "return Array.from(document.querySelectorAll('#path text[data-stage]'),"
            " (t) => [t.dataset.stage, t.textContent]);")
        row = dict(zip(names, rows[k + 1].split("\t")))
        if [cell for _, cell in drawn] != [row[name] for name, _ in drawn]:
            fail("letter %d drawn as %s, traced as %s" % (k + 1, drawn, row))
        shown = [browser.find_element(By.ID, "window-" + side).text
                 for side in ("left", "middle", "right")]
        if shown != [row["left"], row["middle"], row["right"]]:
            fail("rotor windows %s after letter %d, traced %s" % (shown, k + 1, row))
    code = program(SAMPLES, "encrypt", "-", "-o", "-", stdin=text.encode())
    lit = browser.find_element(By.ID, "lit").text
    if lit.encode() != code[7:7 + len(text)]:
        fail("lamps %r, program %r" % (lit, code))
    browser.find_element(By.ID, "back").click()
    if browser.find_element(By.ID, "typed").text != text[:-1]:
        fail("step back did not undo the last letter")


def check_files(browser, work, rounds):
    """Files: random keys, a text with GBK bytes, CR LF and every other byte, enciphered
    and deciphered as the program does; a code file that is none is named."""
    random.seed(29)
    for round_ in range(rounds):
        keys = os.path.join(work, "key%d" % round_)
        os.mkdir(keys)
        program(keys, "keygen", "-q", "-r", str(random.randint(1, 10)),
                "-p", str(random.randint(0, 13)))
        use_key(browser, keys)
        text = ("Dear Ada,\r\n".encode() + "加密中文".encode("gbk")
                + bytes(random.randrange(256) for _ in range(500)) + b"\r\nEnd\n")
        path = write(os.path.join(work, "letter%d.txt" % round_), text)
        lang, kind = random.choice(["en", "zh"]), random.choice(["RW-26001A", "RW-26001B"])
        made = encipher(browser, path, lang, kind)
        if made != program(keys, "encrypt", path, "-o", "-", "-l", lang, "-t", kind):
            fail("the page's code file differs from the program's (key %d)" % round_)
        upload(browser, "code-file", write(os.path.join(work, "letter%d.code" % round_), made))
        browser.find_element(By.ID, "decrypt").click()
        name = "letter%d.txt" % round_
        settle(browser, "return window.rotorwerkPage.downloads['%s']" % name)
        if download(browser, name) != text:
            fail("the page deciphered another text (key %d)" % round_)
    binary = write(os.path.join(work, "photo.bin"), bytes(range(256)))
    upload(browser, "code-file", binary)
    browser.find_element(By.ID, "decrypt").click()
    said = subprocess.run([PROGRAM, "decrypt", "photo.bin", "-s", keys], cwd=work,
                          capture_output=True, check=False).stderr.decode().strip()
    shown = settle(browser, "return document.getElementById('file-lines').textContent.includes("
                            "'photo.bin') && document.getElementById('file-lines').textContent")
    if "rotorwerk: " + shown != said:
        fail("for a code file that is none the page said %r, the program %r" % (shown, said))


def check_pickers(browser, work):
    """Each picker's file is the file it names, whatever its name; the status names both."""
    for k, (wiring_name, start_name) in enumerate([("alice-wiring.ef", "alice-start.ef"),
                                                   ("enigma_init.ef", "enigma_config.ef")]):
        keys = os.path.join(work, "picked%d" % k)
        os.makedirs(os.path.join(keys, "w"))
        os.makedirs(os.path.join(keys, "s"))
        program(keys, "keygen", "-q", "-r", "3", "-p", "2")
        wiring = write(os.path.join(keys, "w", wiring_name),
                       read(os.path.join(keys, "enigma_config.ef")))
        start = write(os.path.join(keys, "s", start_name),
                      read(os.path.join(keys, "enigma_init.ef")))
        use_key(browser, SAMPLES)
        status_after(browser, lambda: upload(browser, "wiring-file", wiring))
        said, failed = status_after(browser, lambda: upload(browser, "start-file", start))
        if failed or "wiring file %s, start file %s" % (wiring_name, start_name) not in said:
            fail("picked %s and %s, the page says %r" % (wiring_name, start_name, said))
        letter = os.path.join(SAMPLES, "letter.txt")
        if encipher(browser, letter) != program(keys, "encrypt", letter, "-o", "-"):
            fail("picked %s and %s, the page enciphered under another key"
                 % (wiring_name, start_name))
    # A faulty start file is named as the user named it, and leaves no key in use.
    bad = os.path.join(work, "bad")
    os.mkdir(bad)
    write(os.path.join(bad, "enigma_config.ef"), read(os.path.join(keys, "enigma_config.ef")))
    write(os.path.join(bad, "enigma_init.ef"), "4\nqr dx\n")
    said, failed = status_after(browser, lambda: upload(browser, "start-file", write(
        os.path.join(work, "bob-start.ef"), "4\nqr dx\n")))
    expected = subprocess.run([PROGRAM, "check", "-s", bad], capture_output=True,
                              check=False).stderr.decode().strip()
    expected = expected.replace(bad + "/enigma_init.ef", "bob-start.ef")
    if not failed or "rotorwerk: " + said != expected:
        fail("a faulty start file: the page says %r, the program %r" % (said, expected))
    # A drop of two files is sorted by name, or else by content, and says which is which;
    # two of one kind are refused.
    wiring = read(os.path.join(SAMPLES, "enigma_config.ef"))
    start = read(os.path.join(SAMPLES, "enigma_init.ef"))
    for files, expected in [
            ([("enigma_init.ef", start), ("enigma_config.ef", wiring)],
             "wiring file enigma_config.ef, start file enigma_init.ef"),
            ([("b.ef", wiring), ("a.ef", start)], "wiring file b.ef, start file a.ef"),
            ([("b.ef", wiring), ("a.ef", wiring)],
             "cannot tell which of b.ef and a.ef is the wiring file: choose each in its own"
             " picker")]:
        said, _ = status_after(browser, lambda: browser.execute_script(
            "const files = new DataTransfer();"
            "for (const [name, text] of arguments[0]) files.items.add(new File([text], name));"
            "document.getElementById('drop').dispatchEvent(new DragEvent('drop',"
            " {dataTransfer: files, bubbles: true, cancelable: true}));", files))
        if expected not in said:
            fail("dropped %s, the page says %r" % ([n for n, _ in files], said))


def check_large(browser, work):
    """A settings file far too large is refused at once, naming it, and leaves no key in
    use; a large text is enciphered while the page goes on answering."""
    huge = os.path.join(work, "huge-wiring.ef")
    with open(huge, "wb") as f:
        f.truncate(50 * 1024 * 1024)
    began = time.monotonic()
    said, failed = status_after(browser, lambda: upload(browser, "wiring-file", huge))
    took = time.monotonic() - began
    if not failed or said != ("huge-wiring.ef is too large for a settings file: 52428800 bytes,"
                              " at most 65536") or took > 5:
        fail("a 50 MB wiring file: %r after %.1f s" % (said, took))
    browser.find_element(By.ID, "encrypt").click()
    if browser.find_element(By.ID, "settings-status").text != "load settings first":
        fail("after a refused settings file the page still enciphers")
    use_key(browser, SAMPLES)
    line = b"Meet me at the old mill at 7:30, and bring the map.\r\n"
    text = write(os.path.join(work, "big.txt"), line * (10 * 1024 * 1024 // len(line)))
    # The longest pause of the page's own thread while the file is enciphered.
    browser.execute_script(
        "window.gap = 0; let last = performance.now();"
        "window.ticker = setInterval(() => { const now = performance.now();"
        " window.gap = Math.max(window.gap, now - last); last = now; }, 20);")
    enciphered(browser, text)
    gap = browser.execute_script("clearInterval(window.ticker); return window.gap;")
    made = browser.execute_async_script(
        "crypto.subtle.digest('SHA-256', window.rotorwerkPage.downloads['enigma_code.txt'])"
        ".then((d) => arguments[0](Array.from(new Uint8Array(d), (b) => b.toString(16)"
        ".padStart(2, '0')).join('')));")
    if made != hashlib.sha256(program(SAMPLES, "encrypt", text, "-o", "-")).hexdigest():
        fail("the page's code file of 10 MiB differs from the program's")
    if gap > 500:
        fail("the page froze %.0f ms while a 10 MiB file was enciphered" % gap)


def attack(browser, code_path, crib):
    """Starts the attack on `code_path` under the wiring in use."""
    browser.execute_script("window.rotorwerkPage.attack = window.rotorwerkPage.progress = null;")
    upload(browser, "attack-file", code_path)
    browser.find_element(By.ID, "crib").clear()
    browser.find_element(By.ID, "crib").send_keys(crib)
    browser.find_element(By.ID, "attack-start").click()


def check_attack(browser, work, stop):
    """The attack, in its worker, from the wiring file alone (picked under a name that
    says nothing); stopped, it shows the best key found so far."""
    code_path = write(os.path.join(work, "letter.code"),
                      program(SAMPLES, "encrypt", os.path.join(SAMPLES, "letter.txt"), "-o", "-"))
    wiring = write(os.path.join(work, "alice-wiring.ef"),
                   read(os.path.join(SAMPLES, "enigma_config.ef")))
    browser.execute_script("const start = document.getElementById('start-text');"
                           "start.value = ''; start.dispatchEvent(new Event('input'));")
    said, failed = status_after(browser, lambda: upload(browser, "wiring-file", wiring))
    if failed or said != ("wiring file in use: alice-wiring.ef, without a start file"
                          " (the attack needs no more)"):
        fail("the wiring file alone: %r" % said)
    browser.find_element(By.TAG_NAME, "body").send_keys("a")
    if browser.find_element(By.ID, "settings-status").text != (
            "this needs a start file: the wiring file alone serves only the attack"):
        fail("typing without a start file did not say it needs one")
    attack(browser, code_path, "the machine works@8")
    found = settle(browser, "return window.rotorwerkPage.attack", 300)
    key = os.path.join(work, "found")
    os.makedirs(key, exist_ok=True)
    write(os.path.join(key, "enigma_config.ef"), read(wiring))
    write(os.path.join(key, "enigma_init.ef"), found["start"])
    if not found["confident"] or program(key, "decrypt", code_path, "-q") != read(
            os.path.join(SAMPLES, "letter.txt"), "rb"):
        fail("the attack did not find the sample key: %s" % found)
    if not stop:
        return
    attack(browser, code_path, "")
    # Stopped once the first stage has scored every start, so that there is a best key.
    settle(browser, "const p = window.rotorwerkPage.progress; return p && p.stage >= 2", 120)
    browser.find_element(By.ID, "attack-stop").click()
    began = time.monotonic()
    stopped = settle(browser, "return window.rotorwerkPage.attack", 10)
    shown = browser.find_element(By.ID, "attack-lines").text.splitlines()
    write(os.path.join(key, "enigma_init.ef"), stopped["start"] or "none")
    checked = subprocess.run([PROGRAM, "check", "-s", key], capture_output=True, check=False)
    if (stopped["searched"] or not shown or checked.returncode != 0
            or shown[0] != "stopped before the search was through: the best key so far"
            or shown[-len(stopped["start"].splitlines()):] != stopped["start"].splitlines()):
        fail("stopped after %.1f s, the page shows %r (%s)" % (time.monotonic() - began, shown,
                                                              checked.stderr.decode()))
    if not browser.find_element(By.ID, "attack-stop").get_attribute("disabled"):
        fail("Stop is still offered after the attack stopped")


def check_requests(browser, origin):
    """Nothing but the page's own files was asked for, and nothing went wrong."""
    requests = [json.loads(entry["message"])["message"] for entry in browser.get_log("performance")]
    asked = [r["params"]["request"]["url"] for r in requests
             if r["method"] == "Network.requestWillBeSent"]
    elsewhere = [url for url in asked if not url.startswith((origin, "blob:", "data:"))]
    if elsewhere or not asked:
        fail("requests beyond the page: %s" % elsewhere)
    errors = [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    if errors:
        fail("console errors: %s" % errors)
    print("web page at %s: loads quietly, asks only for its own %d files, and matches the"
          " program" % (origin.split(":")[0], len(set(asked))))


def check(browser, origin, full):
    browser.get(origin + "index.html")
    settle(browser, "return window.rotorwerkPage && window.rotorwerkPage.ready")
    check_refusal(browser)
    check_typing(browser)
    with tempfile.TemporaryDirectory() as work:
        check_files(browser, work, 3 if full else 1)
        if full:
            check_pickers(browser, work)
            check_large(browser, work)
        check_attack(browser, work, full)
    check_requests(browser, origin)


main()
