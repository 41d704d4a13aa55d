"""What the page's test shares: the program run beside the page, and the page driven
through its fields, pickers and downloads."""
import base64
import os
import subprocess
import sys

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGE, PROGRAM, SAMPLES = (os.path.abspath(a) for a in sys.argv[1:4])


def fail(message):
    sys.exit("web page: FAIL: " + message)


def program(directory, *words, stdin=b""):
    done = subprocess.run([PROGRAM, *words, "-s", directory], input=stdin, capture_output=True,
                          check=False)
    if done.returncode != 0:
        fail("rotorwerk %s: %s" % (" ".join(words), done.stderr.decode()))
    return done.stdout


def settle(browser, script, seconds=60):
    try:
        return WebDriverWait(browser, seconds).until(lambda b: b.execute_script(script))
    except TimeoutException:
        return fail("after %d s still not true: %s" % (seconds, script))


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


def read(path, mode="r"):
    with open(path, mode, **({} if "b" in mode else {"encoding": "ascii"})) as f:
        return f.read()


def write(path, content):
    with open(path, "wb" if isinstance(content, bytes) else "w") as f:
        f.write(content)
    return path


def status_after(browser, act):
    """What the settings line says once `act` has changed it, and whether it is an error."""
    browser.execute_script("document.getElementById('settings-status').textContent = '';")
    act()
    said = settle(browser, "return document.getElementById('settings-status').textContent", 10)
    return said, "error" in browser.find_element(By.ID, "settings-status").get_attribute("class")


def enciphered(browser, path, lang="en", kind="RW-26001B"):
    """Enciphers the file `path` in the page, once it has offered its code file."""
    browser.execute_script(
        "window.rotorwerkPage.downloads = {};"
        "document.getElementById('label').value = arguments[0];"
        "document.getElementById('coding-type').value = arguments[1];", lang, kind)
    upload(browser, "text-file", path)
    browser.find_element(By.ID, "encrypt").click()
    settle(browser, "return window.rotorwerkPage.downloads['enigma_code.txt'] !== undefined", 120)


def encipher(browser, path, lang="en", kind="RW-26001B"):
    enciphered(browser, path, lang, kind)
    return download(browser, "enigma_code.txt")
