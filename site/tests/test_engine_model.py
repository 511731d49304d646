"""The plug-in model that the site tests measure the pages with must itself follow the
plug-in's documented behaviour, or a wrong page could pass. These are the documented cases."""

import unittest

import engine_model as m

CR_LF = "\r\n"


class DecodeEntitiesTest(unittest.TestCase):
    CASES = [
        ("Fish &amp; Chips", "Fish & Chips"),
        ("a&nbsp;b", "a b"),
        ("&apos;x&#39;", "'x'"),
        ("&AMP; &amp &#x41; &#65", "&AMP; &amp &#x41; &#65"),
        ("&amp;lt;", "&lt;"),
        ("&amp;#60;", "<"),
        ("&#0065;&#65;", "AA"),
        ("&#8364;&euro;", "\u20ac\u20ac"),
        ("Chlo&eacute; &Eacute;lise", "Chlo\u00e9 \u00c9lise"),
        ("&#0;|&#65536;|&#66;", "&#0;|&#65536;|B"),
        ("no references", "no references"),
        ("", ""),
    ]

    def test_cases(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(m.decode_entities(text), expected)


class LyricsCleanupTest(unittest.TestCase):
    # (fragment, text after BreaksToLineEnds, StripTags and trimming)
    CASES = [
        ("one<br>\ntwo", "one" + CR_LF + "two"),
        ("one<br />two<br/>three", CR_LF.join(["one", "two", "three"])),
        ("one<BR />two", "onetwo"),
        ("one<br><br>two", "one" + CR_LF + "two"),
        ("one<br>", "one"),
        ("one\n\ntwo", "one" + CR_LF + "two"),
        ("one\r\n\r\ntwo", "one" + CR_LF + CR_LF + "two"),
        ("one\n\n\n\ntwo", "one" + CR_LF + CR_LF + "two"),
        ("one<sbrNewline>two", "one" + CR_LF + "two"),
        ("a\rb", "a" + CR_LF + "b"),
        ("<p>one</p>\r\n\r\n<p>two</p>", "one" + CR_LF + CR_LF + "two"),
    ]

    def test_cases(self):
        for fragment, expected in self.CASES:
            with self.subTest(fragment=fragment):
                cleaned = m.strip_tags(m.breaks_to_line_ends(fragment)).strip(m.TRIM)
                self.assertEqual(cleaned, expected)

    def test_encoded_tag_is_removed_after_decoding(self):
        result, text = m.get_lyrics('<div id="lyrics">&lt;i&gt;so&lt;/i&gt; it goes</div>')
        self.assertEqual((result, text), (1, "so it goes"))


class GetLyricsTest(unittest.TestCase):
    CASES = [
        ("closed block", 'x<div id="lyrics">la<br>\r\nli</div>y\u00a9', 1, "la\r\nli"),
        ("copyright sign ends an unclosed block", '<div id="lyrics">la la\n<p>\u00a9 2001', 1,
         "la la"),
        ("</div> wins over an earlier copyright sign", '<div id="lyrics">a\u00a9b</div>', 1,
         "a\u00a9b"),
        ("no block", "<p>la la</p></div>\u00a9", 0, ""),
        ("no end at all", '<div id="lyrics">la la', 0, ""),
        ("empty block", '<div id="lyrics"> <br> </div>', 0, ""),
        ("apology", '<div id="lyrics">Sorry for the inconvenience.</div>', 0,
         "Sorry for the inconvenience."),
    ]

    def test_cases(self):
        for name, page, result, text in self.CASES:
            with self.subTest(name):
                self.assertEqual(m.get_lyrics(page), (result, text))


class PatternsTest(unittest.TestCase):
    def test_artist_pattern_reads_highlighted_names(self):
        page = '<h3><a href="/artist/a.html"><strong>Brass</strong> &amp; Bellows</a></h3>'
        self.assertEqual(m.artist_candidates(page), [("/artist/a.html", "Brass & Bellows")])

    def test_song_link_pattern_drops_every_lyrics_word(self):
        page = '<li><a href="lyrics/a/b.html" title="x">Love Lyrics Lyrics</a></li>'
        self.assertEqual(m.song_links(page), [("lyrics/a/b.html", "Love")])

    def test_result_pattern_needs_the_song_link_right_after_the_heading(self):
        good = ('<h3><a href="/artist/a.html"><strong>A</strong></a></h3>\n'
                '<a href="/lyrics/a/b.html" title="B &amp; C Lyrics" >B &amp; C Lyrics</a>')
        self.assertEqual(m.song_results(good), [("A", "/lyrics/a/b.html", "B & C")])
        self.assertEqual(m.song_results(good.replace("</h3>\n", "</h3><p>x</p>")), [])


class SearchPathTest(unittest.TestCase):
    CASES = [
        ("Salt & Pepper", "artist", "/search.php?search=Salt%20%26%20Pepper&category=artist"),
        ("Chlo\u00e9", "artist", "/search.php?search=Chlo%C3%A9&category=artist"),
        ("100% C# A+B", "artisttitle",
         "/search.php?search=100%25%20C%23%20A%2BB&category=artisttitle"),
        ("Static [Remix Unit]", "artist",
         "/search.php?search=Static%20%5BRemix%20Unit%5D&category=artist"),
        ("Rosie O'Dell", "artist", "/search.php?search=Rosie%20O'Dell&category=artist"),
    ]

    def test_cases(self):
        for text, category, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(m.search_path(text, category), expected)


if __name__ == "__main__":
    unittest.main()
