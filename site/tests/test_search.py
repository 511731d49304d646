"""Search semantics of the site: query decoding, words, matching and highlighting."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import search  # noqa: E402


class DecodeQueryTest(unittest.TestCase):
    CASES = [
        ("search=Brass%20%26%20Bellows&category=artist",
         {"search": "Brass & Bellows", "category": "artist"}),
        ("search=Chlo%C3%A9", {"search": "Chlo\u00e9"}),       # UTF-8, as the plug-in sends
        ("search=Chlo%E9", {"search": "Chlo\u00e9"}),          # ISO 8859-1, old links
        ("search=a+b", {"search": "a b"}),
        ("search=1%2B1%25%23", {"search": "1+1%#"}),
        ("search=O'Dell%20(Live)", {"search": "O'Dell (Live)"}),
        ("search=x&search=y", {"search": "x"}),
        ("search=&category=artist", {"search": "", "category": "artist"}),
        # What an unmended plug-in sends for "Salt & Pepper": the query is cut at the "&".
        ("search=Salt%20&%20Pepper&category=artist",
         {"search": "Salt ", " Pepper": "", "category": "artist"}),
    ]

    def test_cases(self):
        for query, expected in self.CASES:
            with self.subTest(query=query):
                self.assertEqual(search.decode_query(query), expected)


class QueryWordsTest(unittest.TestCase):
    CASES = [
        ("Rosie O'Dell", ["rosie", "o", "dell"]),
        ("  Chlo\u00e9   MARCHAND ", ["chloe", "marchand"]),
        ("Brass & Bellows", ["brass", "bellows"]),
        ("2Rivers 1999 (Live)", ["2rivers", "1999", "live"]),
        ("Static [Remix Unit]", ["static", "remix", "unit"]),
        ("& + ! ()", []),
        ("", []),
    ]

    def test_cases(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(search.query_words(text), expected)


class MatchAndHighlightTest(unittest.TestCase):
    # (html name, query, matches, highlighted html)
    CASES = [
        ("Lanterns (UK)", "lantern", True, "<strong>Lantern</strong>s (UK)"),
        ("The Lantern", "lanterns", False, None),
        ("Chlo&eacute; Marchand", "chloe", True, "<strong>Chlo&eacute;</strong> Marchand"),
        ("Chlo&eacute; Marchand", "CHLO", True, "<strong>Chlo</strong>&eacute; Marchand"),
        ("Brass &amp; Bellows", "brass & bellows", True,
         "<strong>Brass</strong> &amp; <strong>Bellows</strong>"),
        ("Rosie O&#39;Dell", "rosie o'dell", True,
         "<strong>Rosie</strong> <strong>O</strong>&#39;<strong>Dell</strong>"),
        ("Ivy &amp; Iron", "i", True, "<strong>I</strong>vy &amp; <strong>I</strong>ron"),
        ("Ivy &amp; Iron", "ivy oak", False, None),
        ("Anything", "&", False, None),
    ]

    def test_cases(self):
        for html_name, query, matches, highlighted in self.CASES:
            with self.subTest(name=html_name, query=query):
                name = search.HtmlName(html_name)
                words = search.query_words(query)
                self.assertEqual(search.matches(words, name), matches)
                if highlighted is not None:
                    self.assertEqual(name.highlighted(words), highlighted)

    def test_words_may_come_from_artist_and_title_together(self):
        artist, title = search.HtmlName("The Lanterns"), search.HtmlName("Paper Moon (Live)")
        self.assertTrue(search.matches(search.query_words("lanterns moon live"), artist, title))
        self.assertFalse(search.matches(search.query_words("lanterns moon remix"), artist, title))


if __name__ == "__main__":
    unittest.main()
