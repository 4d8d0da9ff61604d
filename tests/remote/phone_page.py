#!/usr/bin/env python3
"""The phone page in a real browser: headless Chromium driven by chromium-driver loads the
page from the remote on loopback, a tap on "Faster" reaches the prompter as a speed, the
page shows the new line within a second, after a jump stops the text the page steps on
from row 0, and a refused speed is not shown as chosen. Exits 77 (skipped) where the browser is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77


def main():
    host_program = sys.argv[1]
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
    except ImportError:
        print("SKIP: python3-selenium is not installed")
        return SKIP
    browser = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not browser or not driver_path:
        print("SKIP: chromium or chromium-driver is not installed")
        return SKIP

    host = subprocess.Popen([host_program], stdout=subprocess.PIPE, text=True)
    profile = tempfile.mkdtemp(prefix="corvanta-page-")
    driver = None
    try:
        first = host.stdout.readline().split()
        assert first and first[0] == "PORT", first
        url = "http://127.0.0.1:%s/" % first[1]

        options = webdriver.ChromeOptions()
        options.binary_location = browser
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run",
                     "--disable-default-apps", "--disable-extensions", "--user-data-dir=" + profile,
                     "--window-size=412,915"):
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service(driver_path), options=options)
        driver.set_page_load_timeout(20)
        driver.get(url)

        def wait(condition, seconds):
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                value = condition()
                if value:
                    return value
                time.sleep(0.02)
            return None

        # The state arrives: the line count is the stand-in's.
        assert wait(lambda: driver.find_element(By.ID, "lines").text == "500", 10), "no state on the page"
        line_before = driver.find_element(By.ID, "line").text
        assert line_before == "0", line_before

        driver.find_element(By.ID, "faster").click()
        tapped = time.monotonic()
        command = host.stdout.readline().strip()
        assert command == "KeyboardRow 1", command
        moved = wait(lambda: driver.find_element(By.ID, "line").text not in ("0", "–"), 1.0)
        assert moved, "the page did not show a new line within a second"
        print("new line %s shown %.0f ms after the tap" % (moved, (time.monotonic() - tapped) * 1000))

        driver.find_element(By.ID, "faster").click()
        assert host.stdout.readline().strip() == "KeyboardRow 2"
        driver.find_element(By.ID, "slower").click()
        assert host.stdout.readline().strip() == "KeyboardRow 1"

        # A jump stops the text: the page shows row 0 again and steps on from there.
        driver.find_element(By.ID, "next").click()
        assert host.stdout.readline().strip() == "Jump next"
        chosen = lambda: [b.text for b in driver.find_elements(By.CSS_SELECTOR, "button.row.chosen")]
        assert wait(lambda: chosen() == ["0"], 1.0), "the page still shows row %s after the jump" % chosen()
        driver.find_element(By.ID, "faster").click()
        command = host.stdout.readline().strip()
        assert command == "KeyboardRow 1", "faster after the jump sent " + command

        # Not prompting, a speed is refused: the page does not show it as chosen.
        driver.find_element(By.ID, "stop").click()
        assert wait(lambda: "prompting" not in driver.find_element(By.ID, "script").text, 1.0), "still prompting"
        driver.find_element(By.ID, "faster").click()
        assert host.stdout.readline().strip() == "KeyboardRow 2"
        assert wait(lambda: chosen() == ["0"], 1.0), "the page shows the refused row %s" % chosen()
        assert "not now" in driver.find_element(By.ID, "connection").text
        shot = os.environ.get("CORVANTA_PAGE_SCREENSHOT")
        if shot:
            time.sleep(0.3)
            driver.save_screenshot(shot)
        print("PASS")
        return 0
    finally:
        if driver:
            driver.quit()
        host.terminate()
        host.wait(10)
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
