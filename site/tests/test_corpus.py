"""The corpus is large enough, exercises what the plug-in must handle, and is up to date."""

import os
import subprocess
import sys
import unittest

from site_process import SITE_DIR, load_corpus

CORPUS = load_corpus()
ARTISTS = CORPUS["artists"]
SONGS = [s for a in ARTISTS for s in a["songs"]]
BUILD = os.path.join(SITE_DIR, "corpus", "build.py")


def unescape_tsv(field):
    out, i = [], 0
    escapes = {"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}
    while i < len(field):
        if field[i] == "\\":
            out.append(escapes[field[i + 1]])
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


class CorpusTest(unittest.TestCase):
    def test_files_match_the_generator(self):
        result = subprocess.run([sys.executable, BUILD, "--check"], capture_output=True,
                                text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_size(self):
        self.assertGreaterEqual(len(ARTISTS), 40)
        self.assertGreaterEqual(len(SONGS), 300)

    # (what the engine must meet, test over an html name or title)
    FEATURES = [
        ("an ampersand reference", lambda t: "&amp;" in t),
        ("an accented letter as a named reference", lambda t: "&eacute;" in t),
        ("a numeric reference", lambda t: "&#39;" in t),
        ("a live version in round brackets", lambda t: "(Live)" in t),
        ("a remix in square brackets", lambda t: "[Remix]" in t),
        ("a leading digit", lambda t: t[:1].isdigit()),
        ("a leading The", lambda t: t.startswith("The ")),
        ("a quotation mark reference", lambda t: "&quot;" in t),
    ]

    def test_names_exercise_the_engine(self):
        texts = [a["html_name"] for a in ARTISTS] + [s["html_title"] for s in SONGS]
        for feature, test in self.FEATURES:
            with self.subTest(feature=feature):
                self.assertTrue(any(test(t) for t in texts))

    def test_near_duplicate_artists(self):
        names = {a["name"] for a in ARTISTS}
        for pair in [("The Lanterns", "Lanterns"), ("2 Rivers", "2Rivers"),
                     ("Brass & Bellows", "Brass Bellows"), ("Kestrel", "Kestrels"),
                     ("Harbour Lights", "Harbor Lights"), ("Nine Lives", "9 Lives")]:
            self.assertTrue(set(pair) <= names, pair)

    def test_every_page_kind_occurs(self):
        kinds = {s["kind"] for s in SONGS}
        self.assertEqual(kinds, set(CORPUS["page_kinds"]))
        self.assertGreaterEqual(sum(s["kind"] == "apology" for s in SONGS), 5)
        self.assertGreaterEqual(sum(s["kind"] == "copyright_end" for s in SONGS), 5)

    def test_refused_leading_characters_are_marked(self):
        refused = sorted(a["name"] for a in ARTISTS if not a["leading_char_ok"])
        self.assertEqual(refused, ["'Til Dawn", "\u00c9lise Fontaine"])

    def test_some_lyrics_keep_empty_lines_and_some_do_not(self):
        with_blank = [s for s in SONGS if "\r\n\r\n" in s["lyrics"]]
        self.assertTrue(with_blank)
        self.assertTrue([s for s in SONGS if s["lyrics_result"] and s not in with_blank])

    def test_tsv_carries_the_json_answers(self):
        with open(os.path.join(SITE_DIR, "corpus.tsv"), encoding="utf-8", newline="") as f:
            rows = [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]
        songs = [r for r in rows if r[0] == "S"]
        self.assertEqual(len([r for r in rows if r[0] == "A"]), len(ARTISTS))
        self.assertEqual(len(songs), len(SONGS))
        for row, song in zip(songs, SONGS):
            self.assertEqual([unescape_tsv(f) for f in row[2:]],
                             [song["title"], song["path"], song["kind"],
                              str(song["lyrics_result"]), song["lyrics"]])


if __name__ == "__main__":
    unittest.main()
