#!/usr/bin/python3
"""`tunewell review` in a real headless Chromium driven by WebDriver, against the bundled site and
a library of real audio files: what the page lists and counts, a doubtful match shown as
doubtful, a tag's markup shown as text, the coverage bars, skip, search again, Write accepted
(checked with mutagen), the server's refusals, the page at 320 px and in the dark scheme
(screenshots in the build folder), and Finish printing tag's document.

Run with Debian's /usr/bin/python3 (python3-selenium, python3-mutagen). Exits with status 77,
which CTest counts as skipped, only when Chromium, its driver or Selenium is not installed."""
import http.client
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

import jsonschema
import mutagen
from mutagen.id3 import ID3

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

HOST = os.environ["TUNEWELL_HOST"]
SOURCE = os.environ["TUNEWELL_SOURCE_DIR"]
SITE_HOST = os.environ["TUNEWELL_SITE_HOST"]
SHOTS = os.path.join(os.environ["TUNEWELL_BINARY_DIR"], "review-screenshots")
WAIT = 60  # seconds a step may take before the test gives up on it

# NAME, FORMAT, ARTIST, TITLE, EXTRAS (tests/e2e/audio_files.py make) and the state the page
# must show once the run has searched them.
LIBRARY = [
    ("A/shining.mp3", "mp3", "The Lanterns", "Shining Home", "", "found"),
    ("A/letter.flac", "flac", "The Lanterns", "The Faded Letter", "", "found"),
    ("B/halflight.mp3", "mp3", "Grey Heron", "Halflight", "", "doubtful"),
    ("B/held.ogg", "ogg", "The Lanterns", "Paper Moon", "lyrics=eng", "has lyrics"),
    ("B/markup.mp3", "mp3", "<script>alert(1)</script>", "<img src=x onerror=alert(2)>", "",
     "not found"),
    ("B/typo.mp3", "mp3", "The Lantrens", "Papper Moonz Xq", "", "not found"),
]


def corpus_lyrics(artist, title):
    with open(os.path.join(SOURCE, "site", "corpus.tsv"), encoding="utf-8") as lines:
        for line in lines:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "S" and fields[1:3] == [artist, title]:
                return fields[6].replace("\\r\\n", "\n").rstrip("\n")
    raise KeyError((artist, title))


def check_schema(document):
    """Fails on a --json document that breaks the host's schema."""
    with open(os.path.join(SOURCE, "host", "output", "tunewell.schema.json"), "rb") as schema:
        jsonschema.Draft202012Validator(json.load(schema)).validate(document)


def wait_for(what, condition):
    """Polls until condition() is true; fails the test when it never is."""
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("never happened: " + what)


def stop(process):
    if process.poll() is None:
        process.kill()
    process.communicate()


class ReviewRun(unittest.TestCase):
    """A review of a library made for the test, over the bundled site."""
    LIBRARY = LIBRARY

    @classmethod
    def setUpClass(cls):
        # Each thing started is stopped even when a later step of the set-up fails.
        cls.scratch = tempfile.mkdtemp(prefix="tunewell-review-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch)
        os.makedirs(os.path.join(cls.scratch, "state"))
        cls.env = dict(os.environ, XDG_STATE_HOME=os.path.join(cls.scratch, "state"))
        cls.site = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "site", "server.py"), "--port", "0",
             "--host-name", SITE_HOST], stdout=subprocess.PIPE, text=True)
        cls.addClassCleanup(stop, cls.site)
        cls.proxy = "127.0.0.1:%d" % int(cls.site.stdout.readline().split()[1])
        plan = os.path.join(cls.scratch, "plan.tsv")
        with open(plan, "w", encoding="utf-8") as out:
            for name, fmt, artist, title, extras, _ in cls.LIBRARY:
                out.write("\t".join([name, fmt, artist, title, extras]) + "\n")
        subprocess.run([sys.executable, os.path.join(SOURCE, "tests", "e2e", "audio_files.py"),
                        "make", os.path.join(cls.scratch, "music"), plan], check=True)
        cls.stderr = open(os.path.join(cls.scratch, "stderr"), "w+", encoding="utf-8")
        cls.addClassCleanup(cls.stderr.close)
        cls.review = subprocess.Popen(
            [HOST, "--proxy", cls.proxy, "--no-cache", "--json", "review", "--delay", "0",
             "music"], cwd=cls.scratch, env=cls.env, stdout=subprocess.PIPE,
            stderr=cls.stderr, text=True)
        cls.addClassCleanup(stop, cls.review)
        cls.address = wait_for("the review's address", cls.printed_address)
        parts = urllib.parse.urlsplit(cls.address)
        cls.port, cls.token = parts.port, parts.path.strip("/")

    @classmethod
    def printed_address(cls):
        cls.stderr.seek(0)
        for line in cls.stderr:
            if line.startswith("tunewell: review at "):
                return line.split()[3]
        return None

    def request(self, method, path, headers=None, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=WAIT)
        connection.putrequest(method, path, skip_host=True)
        headers = dict({"Host": "127.0.0.1:%d" % self.port}, **(headers or {}))
        if body is not None:
            headers["Content-Length"] = str(len(body))
        for name, value in headers.items():
            connection.putheader(name, value)
        connection.endheaders(body)
        response = connection.getresponse()
        self.body = response.read()
        connection.close()
        return response.status

    def show(self, name):
        """The song's own lyrics in the file as mutagen reads them, None when it holds none."""
        audio = mutagen.File(os.path.join(self.scratch, "music", name))
        tags = audio.tags if audio is not None else None
        if isinstance(tags, ID3):
            own = [frame for frame in tags.getall("USLT") if not frame.desc]
            return own[0].text if own else None
        values = (tags or {}).get("lyrics")
        return values[0] if values else None


class ReviewPage(ReviewRun):
    """One review, one browser; the steps run in the order of their names."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1200,1000"]:
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        cls.addClassCleanup(cls.browser.quit)
        cls.browser.get(cls.address)
        wait_for("the run's end in the page", lambda: cls.phase() == "ready")

    @classmethod
    def phase(cls):
        return cls.browser.find_element(By.TAG_NAME, "body").get_attribute("data-phase")

    def item(self, name):
        """The list item of a file, by its name in the library."""
        for li in self.browser.find_elements(By.CSS_SELECTOR, "#files li.file"):
            if li.find_element(By.CLASS_NAME, "name").get_attribute("textContent") == \
                    os.path.basename(name):
                return li
        raise AssertionError("no item for " + name)

    def coverage(self):
        """Each coverage row as drawn: its name, its numbers, and the parts of its bar (holding
        lyrics, accepted) as shares of the bar's width. Read in one go: the page redraws the
        table at each look at the server."""
        return self.browser.execute_script("""
            const width = (row, what) => row.querySelector(what).getBoundingClientRect().width;
            return Array.from(document.querySelectorAll('#coverage tbody tr'), (row) => [
                row.cells[0].textContent, row.cells[2].textContent,
                width(row, '.bar .with') / width(row, '.bar'),
                width(row, '.bar .accepted') / width(row, '.bar')]);
            """)

    def test_1_lists_every_file_with_its_match_and_counts_each_state(self):
        for name, _, artist, title, _, state in LIBRARY:
            li = self.item(name)
            self.assertEqual(li.get_attribute("data-state"), state, name)
            match = li.find_element(By.CLASS_NAME, "match").text
            if state in ("found", "doubtful"):
                self.assertIn(" \u00b7 " + ("exact" if state == "found" else "doubtful"), match)
                self.assertEqual(li.get_attribute("data-decision"),
                                 "accept" if state == "found" else "undecided", name)
        self.assertIn("differs in:", self.item("B/halflight.mp3").text)
        # The first lines of the lyrics found, and all of them on demand.
        lyrics = corpus_lyrics("The Lanterns", "Shining Home")
        found = self.item("A/shining.mp3").find_element(By.CLASS_NAME, "found")
        text = lambda: found.find_element(By.CLASS_NAME, "text").get_attribute("textContent")
        self.assertEqual(text(), "\n".join(lyrics.split("\n")[:4]))
        found.find_element(By.CLASS_NAME, "more").click()
        wait_for("the whole lyrics", lambda: text() == lyrics)
        self.assertIn("old lyrics", self.item("B/held.ogg").find_element(
            By.CSS_SELECTOR, ".held .text").text)
        counts = {b.get_attribute("data-filter"): b.find_element(By.CLASS_NAME, "count").text
                  for b in self.browser.find_elements(By.CSS_SELECTOR, "#filters button")}
        self.assertEqual(counts, {"all": "6", "found": "2", "doubtful": "1", "not found": "2",
                                  "holding": "1", "failed": "0", "written": "0",
                                  "waiting": "0"})
        self.browser.find_element(By.CSS_SELECTOR, "#filters [data-filter='doubtful']").click()
        shown = [li.find_element(By.CLASS_NAME, "name").text for li in
                 self.browser.find_elements(By.CSS_SELECTOR, "#files li.file") if li.is_displayed()]
        self.assertEqual(shown, ["halflight.mp3"])
        self.browser.find_element(By.CSS_SELECTOR, "#filters [data-filter='all']").click()

    def test_2_a_tags_markup_is_shown_as_text(self):
        li = self.item("B/markup.mp3")
        self.assertEqual(li.find_element(By.CLASS_NAME, "names").text,
                         "Searched as <script>alert(1)</script> \u2013 "
                         "<img src=x onerror=alert(2)>")
        self.assertEqual(len(self.browser.find_elements(By.CSS_SELECTOR, "#files img, #files script,"
                                                        " #coverage img, #coverage script")), 0)
        self.assertEqual(len(self.browser.find_elements(By.TAG_NAME, "script")), 1)
        self.browser.find_element(By.CSS_SELECTOR, "button.by[data-by='artists']").click()
        self.assertIn("<script>alert(1)</script>", [row[0] for row in self.coverage()])
        self.browser.find_element(By.CSS_SELECTOR, "button.by[data-by='folders']").click()

    def test_3_coverage_bars_match_the_counts(self):
        rows = {name: (numbers, round(with_, 2), round(accepted, 2))
                for name, numbers, with_, accepted in self.coverage()}
        self.assertEqual(rows, {"music/A": ("0 of 2 (0%), +2 accepted", 0.0, 1.0),
                                "music/B": ("1 of 4 (25%)", 0.25, 0.0)})

    def test_4_the_server_refuses_what_is_not_its_page(self):
        t = "/" + self.token + "/"
        change = {"X-Tunewell-Token": self.token,
                  "Content-Type": "application/x-www-form-urlencoded"}
        cases = [
            ("GET", "/", {}, None, 403),
            ("GET", "/" + self.token[:-1] + "/", {}, None, 403),
            ("GET", "/" + "A" * len(self.token) + "/api/state", {}, None, 403),
            ("GET", t, {"Host": "rebound.example:%d" % self.port}, None, 403),
            ("GET", t, {"Host": "127.0.0.1:1"}, None, 403),
            ("GET", t + "api/write", {}, None, 405),
            ("GET", t + "api/finish", {}, None, 405),
            ("POST", t + "api/write", {}, b"", 403),
            ("POST", t + "api/decide", {"X-Tunewell-Token": "x"}, b"file=0&decision=skip", 403),
            ("POST", t + "api/write", dict(change, Origin="http://evil.example"), b"", 403),
            ("POST", t + "api/search", change, b"file=5&artist=" + b"a" * 20000 + b"&title=t",
             413),
            ("GET", t + "api/lyrics?file=6", {}, None, 400),
            ("GET", t + "api/lyrics?file=..%2F..%2Fetc%2Fpasswd", {}, None, 400),
            ("GET", t + "..%2Fhost%2Fcli%2Fmain.cpp", {}, None, 404),
            ("GET", t + "index.html", {}, None, 404),
            ("GET", t + "review.js", {}, None, 200),
        ]
        for method, path, headers, body, status in cases:
            self.assertEqual(self.request(method, path, headers, body), status,
                             (method, path.replace(self.token, "TOKEN")[:80], headers))
        # Nothing the refused requests asked for happened.
        self.assertEqual(self.item("A/shining.mp3").get_attribute("data-decision"), "accept")

    def test_5_skip_search_again_and_write_the_accepted(self):
        skip = self.item("A/letter.flac").find_element(By.CLASS_NAME, "accept")
        skip.send_keys("s")  # the key on the file that has the focus
        wait_for("the skip", lambda: self.item("A/letter.flac").get_attribute("data-decision")
                 == "skip")
        typo = self.item("B/typo.mp3")
        typo.find_element(By.CLASS_NAME, "again").click()
        artist = typo.find_element(By.NAME, "artist")
        artist.clear()
        artist.send_keys("The Lanterns")
        title = typo.find_element(By.NAME, "title")
        title.clear()
        title.send_keys("Paper Moons\n")
        wait_for("the search again", lambda: self.item("B/typo.mp3").get_attribute("data-state")
                 == "found")
        typo = self.item("B/typo.mp3")
        self.assertEqual(typo.get_attribute("data-decision"), "accept")
        self.assertIn("(names edited)", typo.find_element(By.CLASS_NAME, "names").text)
        self.assertIn("The Lanterns \u2013 Paper Moons \u00b7 exact",
                      typo.find_element(By.CLASS_NAME, "match").text)
        self.browser.find_element(By.ID, "write").click()
        for name in ("A/shining.mp3", "B/typo.mp3"):
            wait_for("the write of " + name,
                     lambda: self.item(name).get_attribute("data-state") == "written")
        self.assertEqual(self.show("A/shining.mp3"), corpus_lyrics("The Lanterns", "Shining Home"))
        self.assertEqual(self.show("B/typo.mp3"), corpus_lyrics("The Lanterns", "Paper Moons"))
        for name in ("A/letter.flac", "B/halflight.mp3"):
            self.assertIsNone(self.show(name), name)
        self.assertEqual(self.item("A/letter.flac").get_attribute("data-state"), "found")
        self.assertEqual(self.item("B/halflight.mp3").get_attribute("data-state"), "doubtful")

    def test_6_readable_at_320_pixels_and_in_the_dark(self):
        os.makedirs(SHOTS, exist_ok=True)
        self.browser.execute_script("window.scrollTo(0, 0)")  # the counts and the coverage
        self.browser.save_screenshot(os.path.join(SHOTS, "review-wide-light.png"))
        for scheme in ("light", "dark"):
            self.browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                "features": [{"name": "prefers-color-scheme", "value": scheme}]})
            self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": 320, "height": 900, "deviceScaleFactor": 1, "mobile": True})
            widths = self.browser.execute_script(
                "return [innerWidth, document.documentElement.scrollWidth,"
                " document.documentElement.clientWidth]")
            self.assertEqual(widths[0], 320)
            self.assertLessEqual(widths[1], widths[2], "the page is wider than 320 px")
            background = self.browser.execute_script(
                "return getComputedStyle(document.body).backgroundColor")
            red, green, blue = [int(v) for v in background[background.index("(") + 1:]
                                .split(")")[0].split(",")[:3]]
            self.assertEqual(red + green + blue < 3 * 128, scheme == "dark", background)
            self.browser.save_screenshot(os.path.join(SHOTS, "review-320-%s.png" % scheme))
        self.browser.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.browser.execute_script("window.scrollTo(0, 0)")
        self.browser.save_screenshot(os.path.join(SHOTS, "review-wide-dark.png"))
        for shot in ("review-320-light.png", "review-320-dark.png", "review-wide-dark.png"):
            with open(os.path.join(SHOTS, shot), "rb") as png:
                self.assertEqual(png.read(8), b"\x89PNG\r\n\x1a\n")

    def test_7_finish_prints_tags_document(self):
        self.browser.find_element(By.ID, "finish").click()
        out, _ = self.review.communicate(timeout=WAIT)
        document = json.loads(out)
        check_schema(document)
        self.assertEqual(document["command"], "review")
        statuses = {os.path.relpath(f["path"], "music"): f["status"] for f in document["files"]}
        self.assertEqual(statuses, {"A/shining.mp3": "tagged", "A/letter.flac": "skipped",
                                    "B/halflight.mp3": "doubtful", "B/held.ogg": "had lyrics",
                                    "B/markup.mp3": "not found", "B/typo.mp3": "tagged"})
        summary = document["summary"]
        self.assertEqual([summary[k] for k in ("total", "tagged", "had_lyrics", "not_found",
                                               "doubtful", "skipped", "failed")],
                         [6, 2, 1, 1, 1, 1, 0])
        self.assertIsNone(summary["stopped"])
        wait_for("the page's end", lambda: self.phase() in ("finished", "gone"))


class ReviewEndsOnCtrlC(ReviewRun):
    LIBRARY = LIBRARY[:1]

    def test_ctrl_c_after_the_searches_ends_it_as_finish_does(self):
        wait_for("the run's end", lambda: self.request("GET", "/%s/api/state" % self.token) == 200
                 and json.loads(self.body)["phase"] == "ready")
        self.review.send_signal(signal.SIGINT)
        out, _ = self.review.communicate(timeout=WAIT)
        self.assertEqual(self.review.returncode, 0)
        document = json.loads(out)
        check_schema(document)
        self.assertEqual([f["status"] for f in document["files"]], ["skipped"])
        self.assertEqual((document["summary"]["skipped"], document["summary"]["stopped"]),
                         (1, None))
        self.assertIsNone(self.show(self.LIBRARY[0][0]))


def chromium_missing():
    missing = [path for path in (CHROMIUM, DRIVER) if not os.access(path, os.X_OK)]
    if webdriver is None:
        missing.append("python3-selenium")
    return missing


if __name__ == "__main__":
    if chromium_missing():
        print("skipped: not installed: " + ", ".join(chromium_missing()) +
              " (scripts/install-deps test installs them)")
        sys.exit(77)
    unittest.main()
