#!/usr/bin/env python3
"""The page in headless Chromium against the program: it loads with no console error
and asks nothing of the network; typed letters, the drawn path, files enciphered and
deciphered in it, and its attack are the program's, byte for byte.

Usage: web_page_test.py PAGE_DIRECTORY PROGRAM SAMPLES_DIRECTORY"""
import base64
import functools
import http.server
import json
import os
import random
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGE, PROGRAM, SAMPLES = (os.path.abspath(a) for a in sys.argv[1:4])
if not os.path.isfile(os.path.join(PAGE, "index.html")):
    print("web page: SKIPPED: no page built in %s (tools/build-web builds it)" % PAGE)
    sys.exit(77)


def fail(message):
    sys.exit("web page: FAIL: " + message)


def program(directory, *words, stdin=b""):
    done = subprocess.run([PROGRAM, *words, "-s", directory], input=stdin, capture_output=True,
                          check=False)
    if done.returncode != 0:
        fail("rotorwerk %s: %s" % (" ".join(words), done.stderr.decode()))
    return done.stdout


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
        check(browser, origin)
    finally:
        browser.quit()
        server.shutdown()


def settle(browser, script, seconds=60):
    return WebDriverWait(browser, seconds).until(lambda b: b.execute_script(script))


def use_key(browser, directory):
    with open(os.path.join(directory, "enigma_config.ef"), encoding="ascii") as f:
        wiring = f.read()
    with open(os.path.join(directory, "enigma_init.ef"), encoding="ascii") as f:
        start = f.read()
    browser.execute_script(
        "document.getElementById('wiring-text').value = arguments[0];"
        "document.getElementById('start-text').value = arguments[1];", wiring, start)
    browser.find_element(By.ID, "use").click()
    said = browser.find_element(By.ID, "settings-status").text
    if "error" in browser.find_element(By.ID, "settings-status").get_attribute("class"):
        fail("the page refused the key in %s: %s" % (directory, said))


def download(browser, name):
    encoded = browser.execute_script(
        "const b = window.rotorwerkPage.downloads[arguments[0]];"
        "return b ? btoa(Array.from(b, (c) => String.fromCharCode(c)).join('')) : null;", name)
    if encoded is None:
        fail("the page offered no %s" % name)
    return base64.b64decode(encoded)


def upload(browser, field, path):
    browser.find_element(By.ID, field).send_keys(path)


def check(browser, origin):
    browser.get(origin)
    settle(browser, "return window.rotorwerkPage && window.rotorwerkPage.ready")
    # A faulty key is refused with the program's reason, and the sample key taken.
    with tempfile.TemporaryDirectory() as bad:
        for name in ("enigma_config.ef", "enigma_init.ef"):
            with open(os.path.join(SAMPLES, name), encoding="ascii") as f:
                content = f.read()
            with open(os.path.join(bad, name), "w", encoding="ascii") as f:
                f.write(content.replace("7 19 3", "7 19 x") if "init" in name else content)
        browser.execute_script(
            "document.getElementById('wiring-text').value = arguments[0];"
            "document.getElementById('start-text').value = arguments[1];",
            open(os.path.join(bad, "enigma_config.ef"), encoding="ascii").read(),
            open(os.path.join(bad, "enigma_init.ef"), encoding="ascii").read())
        browser.find_element(By.ID, "use").click()
        said = subprocess.run([PROGRAM, "check", "-s", "."], cwd=bad, capture_output=True,
                              check=False).stderr.decode().strip()
        shown = browser.find_element(By.ID, "settings-status").text
        if "rotorwerk: " + shown != said.replace("./", ""):
            fail("the page said %r where the program says %r" % (shown, said))
    use_key(browser, SAMPLES)

    # Typed at the keyboard: the lamps are the program's letters, and each drawn path
    # the program's trace of that letter.
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

    # Files: random keys, a text with GBK bytes, CR LF and every other byte.
    random.seed(29)
    with tempfile.TemporaryDirectory() as work:
        for round_ in range(3):
            keys = os.path.join(work, "key%d" % round_)
            os.mkdir(keys)
            program(keys, "keygen", "-q", "-r", str(random.randint(1, 10)),
                    "-p", str(random.randint(0, 13)))
            use_key(browser, keys)
            text = ("Dear Ada,\r\n".encode() + "加密中文".encode("gbk")
                    + bytes(random.randrange(256) for _ in range(500)) + b"\r\nEnd\n")
            path = os.path.join(work, "letter%d.txt" % round_)
            with open(path, "wb") as f:
                f.write(text)
            lang, kind = random.choice(["en", "zh"]), random.choice(["RW-26001A", "RW-26001B"])
            browser.execute_script(
                "document.getElementById('label').value = arguments[0];"
                "document.getElementById('coding-type').value = arguments[1];", lang, kind)
            upload(browser, "text-file", path)
            browser.find_element(By.ID, "encrypt").click()
            settle(browser, "return window.rotorwerkPage.downloads['enigma_code.txt']")
            made = download(browser, "enigma_code.txt")
            expected = program(keys, "encrypt", path, "-o", "-", "-l", lang, "-t", kind)
            if made != expected:
                fail("the page's code file differs from the program's (key %d)" % round_)
            code_path = os.path.join(work, "letter%d.code" % round_)
            with open(code_path, "wb") as f:
                f.write(made)
            upload(browser, "code-file", code_path)
            browser.find_element(By.ID, "decrypt").click()
            name = "letter%d.txt" % round_
            settle(browser, "return window.rotorwerkPage.downloads['%s']" % name)
            if download(browser, name) != text:
                fail("the page deciphered another text (key %d)" % round_)
            browser.execute_script("window.rotorwerkPage.downloads = {};")

    # The attack, in its worker, on the sample letter with a few words known.
    use_key(browser, SAMPLES)
    with tempfile.TemporaryDirectory() as work:
        code_path = os.path.join(work, "letter.code")
        with open(code_path, "wb") as f:
            f.write(program(SAMPLES, "encrypt", os.path.join(SAMPLES, "letter.txt"), "-o", "-"))
        upload(browser, "attack-file", code_path)
        browser.find_element(By.ID, "crib").send_keys("the machine works@8")
        browser.find_element(By.ID, "attack-start").click()
        found = settle(browser, "return window.rotorwerkPage.attack", 300)
        with open(os.path.join(SAMPLES, "enigma_init.ef"), encoding="ascii") as f:
            sample = f.read()
        key = os.path.join(work, "found")
        os.mkdir(key)
        with open(os.path.join(SAMPLES, "enigma_config.ef"), encoding="ascii") as f:
            wiring = f.read()
        for name, content in (("enigma_config.ef", wiring), ("enigma_init.ef", found["start"])):
            with open(os.path.join(key, name), "w", encoding="ascii") as f:
                f.write(content)
        with open(os.path.join(SAMPLES, "letter.txt"), "rb") as f:
            letter = f.read()
        if not found["confident"] or program(key, "decrypt", code_path, "-q") != letter:
            fail("the attack did not find the sample key: %s (sample: %r)" % (found, sample))

    # Nothing but the page's own files was asked for, and nothing went wrong.
    requests = [json.loads(entry["message"])["message"] for entry in browser.get_log("performance")]
    asked = [r["params"]["request"]["url"] for r in requests
             if r["method"] == "Network.requestWillBeSent"]
    elsewhere = [url for url in asked if not url.startswith((origin, "blob:", "data:"))]
    if elsewhere or not asked:
        fail("requests beyond the page: %s" % elsewhere)
    errors = [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    if errors:
        fail("console errors: %s" % errors)
    print("web page: loads quietly, asks only for its own %d files, and matches the program"
          % len(set(asked)))


main()
