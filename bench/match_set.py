#!/usr/bin/env python3
"""The labelled match set (tests/data/match_set.tsv) against the host and the bundled site.

    bench/match_set.py                  run every row through build/tunewell and score it
    bench/match_set.py --check          only check the set against the site's corpus
    bench/match_set.py --list           also list every wrong and missed row
    bench/match_set.py --host PATH --command song -- --max-difference 250

Each row is one `tunewell --proxy 127.0.0.1:PORT --no-cache COMMAND ARTIST TITLE --json`
(extra host options after "--") against site/server.py started here. The page a row was matched
to is the JSON's song url; it counts as stored when the JSON's "match" says exact, normalised
or variant, or, from a host that reports no "match" level, whenever a song was found.

  wrong   a page stored that is not the row's page, or stored where the row wants none
          (levels none, no-lyrics and doubtful: a doubtful match must not be stored)
  found   the row's page stored, of the rows whose level is exact, normalised or variant
  missed  such a row with nothing stored (the reason is the row's category and note)

The requests each row cost are read from the site's request log: searches (search pages and
artist pages) and lyrics pages, per row on average. Not a test: it prints figures for a person.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SET_PATH = os.path.join(SOURCE, "tests", "data", "match_set.tsv")
CORPUS_PATH = os.path.join(SOURCE, "site", "corpus.json")
STORED = ("exact", "normalised", "variant")
LEVELS = STORED + ("doubtful", "none", "no-lyrics")
MIN_ROWS = 300


class Row:
    def __init__(self, number, fields):
        self.number = number
        self.artist, self.title, self.expect, self.level, self.category = fields[:5]
        self.note = fields[5] if len(fields) > 5 else ""

    def findable(self):
        return self.level in STORED


def unescape(field):
    return field.replace("\\t", "\t")


def read_set(path=SET_PATH):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            rows.append(Row(number, [unescape(x) for x in line.split("\t")]))
    return rows


def corpus_pages(path=CORPUS_PATH):
    """{song path: (artist name, title)} of every song on the site."""
    with open(path, encoding="utf-8") as f:
        corpus = json.load(f)
    return {song["path"]: (artist["name"], song["title"])
            for artist in corpus["artists"] for song in artist["songs"]}


def fold(text):
    return text.strip().casefold()


def check(rows, pages):
    """The mistakes in the set itself: one line each."""
    problems = []
    seen = set()
    for row in rows:
        where = "line %d (%s / %s)" % (row.number, row.artist, row.title)
        if row.level not in LEVELS:
            problems.append("%s: unknown level %r" % (where, row.level))
        wants_page = row.level in STORED + ("doubtful",)
        if wants_page and row.expect not in pages:
            problems.append("%s: no such page on the site: %s" % (where, row.expect))
        if not wants_page and row.expect != "none":
            problems.append("%s: level %s names a page" % (where, row.level))
        if row.level == "exact" and row.expect in pages:
            artist, title = pages[row.expect]
            if (fold(artist), fold(title)) != (fold(row.artist), fold(row.title)):
                problems.append("%s: not the names of %s" % (where, row.expect))
        key = (row.artist, row.title)
        if key in seen:
            problems.append("%s: twice in the set" % where)
        seen.add(key)
    if len(rows) < MIN_ROWS:
        problems.append("%d rows, fewer than %d" % (len(rows), MIN_ROWS))
    return problems


def site_host_name():
    cache = os.path.join(SOURCE, "build", "CMakeCache.txt")
    if os.path.exists(cache):
        with open(cache, encoding="utf-8") as f:
            for line in f:
                if line.startswith("TUNEWELL_SITE_HOST:STRING="):
                    return line.split("=", 1)[1].strip()
    return "lyrics.tunewell.test"


class Site:
    """site/server.py on a free port, logging every request."""

    def __init__(self, scratch, host_name):
        self.log = os.path.join(scratch, "site.log")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "site", "server.py"), "--port", "0",
             "--host-name", host_name, "--log", self.log],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("PORT "):
            self.stop()
            raise SystemExit("the site did not start")
        self.port = int(line.split()[1])
        self.read = 0

    def new_requests(self):
        """The request targets logged since the last call."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            lines = f.readlines()
        fresh, self.read = lines[self.read:], len(lines)
        return [json.loads(line)["target"] for line in fresh if line.strip()]

    def stop(self):
        self.process.terminate()
        self.process.wait()


def run_row(host, site, command, extra, row, host_name):
    args = [host, "--proxy", "127.0.0.1:%d" % site.port, "--no-cache", *extra, command,
            row.artist, row.title, "--json"]
    result = subprocess.run(args, capture_output=True, text=True, timeout=120)
    try:
        report = json.loads(result.stdout)
    except ValueError:
        raise SystemExit("line %d: no JSON from the host (status %d): %s" %
                         (row.number, result.returncode, result.stderr.strip()))
    song = report.get("song")
    page = None
    if song:
        url = song["url"]
        page = url[len(host_name):] if url.startswith(host_name) else url
    match = report.get("match")
    if isinstance(match, dict) and "level" in match:
        level = match["level"]
        stored = page is not None and level in STORED
    else:
        level = "found" if page else "nothing"
        stored = page is not None
    targets = site.new_requests()
    searches = sum(1 for t in targets if "/search.php" in t or "/artist/" in t)
    lyrics = sum(1 for t in targets if "/lyrics/" in t)
    return {"page": page, "level": level, "stored": stored, "searches": searches,
            "lyrics": lyrics}


def score(rows, results):
    wrong, found, missed = [], [], []
    for row, got in zip(rows, results):
        if got["stored"] and (not row.findable() or got["page"] != row.expect):
            wrong.append((row, got))
        elif row.findable() and got["stored"]:
            found.append((row, got))
        elif row.findable():
            missed.append((row, got))
    return wrong, found, missed


def describe(row, got):
    return "  %s / %s: want %s (%s), got %s (%s)  [%s%s]" % (
        row.artist, row.title, row.expect, row.level, got["page"] or "nothing", got["level"],
        row.category, ": " + row.note if row.note else "")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true", help="only check the set")
    parser.add_argument("--list", action="store_true", help="list the wrong and missed rows")
    parser.add_argument("--host", default=os.path.join(SOURCE, "build", "tunewell"))
    parser.add_argument("--command", default="get", choices=("get", "song"))
    parser.add_argument("--set", default=SET_PATH)
    parser.add_argument("extra", nargs="*", help="host options (after --)")
    options = parser.parse_args(argv)

    rows = read_set(options.set)
    problems = check(rows, corpus_pages())
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems or options.check:
        if not problems:
            print("%d rows, every page on the site" % len(rows))
        return 1 if problems else 0

    host_name = site_host_name()
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as scratch:
        site = Site(scratch, host_name)
        try:
            results = [run_row(options.host, site, options.command, options.extra, row,
                               host_name) for row in rows]
        finally:
            site.stop()
    wrong, found, missed = score(rows, results)
    findable = sum(1 for row in rows if row.findable())
    searches = sum(r["searches"] for r in results)
    lyrics = sum(r["lyrics"] for r in results)
    exact_rows = [r for row, r in zip(rows, results) if row.level == "exact"]
    print("%s %s %s: %d rows, %d findable (%.0f s)" % (
        os.path.relpath(options.host), options.command, " ".join(options.extra), len(rows),
        findable, time.monotonic() - started))
    print("wrong   %d" % len(wrong))
    print("found   %d of %d (%.1f %%)" % (len(found), findable, 100.0 * len(found) / findable))
    print("missed  %d" % len(missed))
    print("search requests per song %.2f (rows with exact names %.2f), lyrics pages per song %.2f"
          % (searches / len(rows), sum(r["searches"] for r in exact_rows) / max(1, len(exact_rows)),
             lyrics / len(rows)))
    if options.list:
        for title, entries in (("wrong", wrong), ("missed", missed)):
            print("%s:" % title)
            for row, got in entries:
                print(describe(row, got))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
