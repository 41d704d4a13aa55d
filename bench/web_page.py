#!/usr/bin/env python3
"""Measures the page: its size, and how long a 10 MiB text takes to encipher in it in
headless Chromium, from the file chosen to the code file offered (best of three).

Usage: bench/web_page.py [PAGE_DIRECTORY]   (default build-web/page; tools/build-web)"""
import functools
import http.server
import os
import platform
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGE = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-web/page"))
SIZE = 10 * 1024 * 1024


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def cpu():
    with open("/proc/cpuinfo", encoding="ascii", errors="replace") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor()


def main():
    size = sum(os.path.getsize(os.path.join(PAGE, f)) for f in os.listdir(PAGE))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(Quiet, directory=PAGE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    times = []
    try:
        browser.get("http://127.0.0.1:%d/" % server.server_address[1])
        WebDriverWait(browser, 60).until(
            lambda b: b.execute_script("return window.rotorwerkPage.ready"))
        for name in ("enigma_config.ef", "enigma_init.ef"):
            with open(os.path.join(ROOT, "examples", name), encoding="ascii") as f:
                field = "wiring-text" if "config" in name else "start-text"
                browser.execute_script("document.getElementById(arguments[0]).value = arguments[1];",
                                       field, f.read())
        browser.find_element(By.ID, "use").click()
        with tempfile.NamedTemporaryFile(suffix=".txt") as text:
            line = b"The quick brown fox jumps over the lazy dog, 0123456789.\n"
            text.write(line * (SIZE // len(line)) + line[:SIZE % len(line)])
            text.flush()
            for _ in range(3):
                browser.execute_script("window.rotorwerkPage.downloads = {};")
                browser.find_element(By.ID, "text-file").clear()
                began = time.monotonic()
                browser.find_element(By.ID, "text-file").send_keys(text.name)
                browser.find_element(By.ID, "encrypt").click()
                WebDriverWait(browser, 120, poll_frequency=0.01).until(lambda b: b.execute_script(
                    "return window.rotorwerkPage.downloads['enigma_code.txt'] !== undefined"))
                times.append(time.monotonic() - began)
    finally:
        browser.quit()
        server.shutdown()
    print("page: %.2f MiB (%d bytes: HTML, CSS, JavaScript and WebAssembly)"
          % (size / 1048576, size))
    print("10 MiB enciphered in the page: %.2f s (best of 3; %s)" % (min(times), cpu()))


main()
