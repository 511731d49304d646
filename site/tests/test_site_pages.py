"""Every corpus entry, fetched from the running server in proxy form and read with the
plug-in's own patterns, gives the corpus's answer; page furniture matches none of them."""

import unittest

import engine_model as m
from site_process import SiteProcess, load_corpus

SITE = None
CORPUS = load_corpus()
ARTISTS = CORPUS["artists"]
SONGS = [(a, s) for a in ARTISTS for s in a["songs"]]


def setUpModule():
    global SITE
    SITE = SiteProcess()


def tearDownModule():
    SITE.stop()


def artist_search(text):
    return m.artist_candidates(SITE.page(m.search_path(text, "artist")))


def song_search(text):
    return m.song_results(SITE.page(m.search_path(text, "artisttitle")))


class ArtistSearchTest(unittest.TestCase):
    def test_every_artist_is_found_under_its_own_name(self):
        for artist in ARTISTS:
            with self.subTest(artist=artist["name"]):
                self.assertIn((artist["path"], artist["name"]), artist_search(artist["name"]))

    def test_every_candidate_is_a_corpus_artist_with_its_own_page(self):
        pages = {a["path"]: a["name"] for a in ARTISTS}
        for text in ["the", "lantern", "2", "brass bellows", "chloe", "lights"]:
            with self.subTest(text=text):
                candidates = artist_search(text)
                self.assertTrue(candidates)
                for link, name in candidates:
                    self.assertEqual(pages.get(link), name)

    # (search text, names the page must list, in page order)
    CASES = [
        ("Lantern", ["Lanterns", "Lanterns (UK)", "The Lantern", "The Lanterns"]),
        ("the lanterns", ["The Lanterns"]),
        ("Lanterns (UK)", ["Lanterns (UK)"]),
        ("Brass & Bellows", ["Brass & Bellows", "Brass Bellows"]),
        ("Chlo\u00e9", ["Chlo\u00e9 Marchand", "Chloe Marchant"]),
        ("2 Rivers", ["2 Rivers"]),
        ("2Rivers", ["2Rivers"]),
        ("Static [Remix Unit]", ["Static [Remix Unit]"]),
        ("rosie o'dell", ["Rosie O'Dell"]),
        ("velvet orchard", ["The Velvet Orchard", "The Velvet Orchards"]),
        ("Nobody At All", []),
        ("&", []),
    ]

    def test_search_results(self):
        for text, names in self.CASES:
            with self.subTest(text=text):
                self.assertEqual([n for _, n in artist_search(text)], names)

    def test_searched_words_are_highlighted(self):
        page = SITE.page(m.search_path("lantern uk", "artist"))
        self.assertIn("<h3><a href=\"/artist/lanterns-uk.html\"><strong>Lantern</strong>s "
                      "(<strong>UK</strong>)</a></h3>", page)


class ArtistPageTest(unittest.TestCase):
    def test_song_links_are_exactly_the_corpus_songs_in_order(self):
        for artist in ARTISTS:
            with self.subTest(artist=artist["name"]):
                links = m.song_links(SITE.page(artist["path"]))
                self.assertEqual(links, [(s["link"], s["title"]) for s in artist["songs"]])

    def test_links_without_leading_slash_resolve_after_the_host_slash(self):
        # The plug-in joins host + "/" + link; the song page must be there.
        artist = ARTISTS[0]
        link, _ = m.song_links(SITE.page(artist["path"]))[0]
        self.assertFalse(link.startswith("/"))
        self.assertIn(m.LYRICS_START, SITE.page("/" + link))


class CombinedSearchTest(unittest.TestCase):
    def test_every_song_is_found_by_artist_and_title(self):
        for artist, song in SONGS:
            with self.subTest(artist=artist["name"], title=song["title"]):
                results = song_search(artist["name"] + " " + song["title"])
                self.assertIn((artist["name"], song["path"], song["title"]), results)

    def test_results_are_corpus_songs_of_the_named_artist_page(self):
        known = {s["path"]: (a["name"], s["title"]) for a, s in SONGS}
        for text in ["paper moon", "night drive", "cat's cradle", "tide tables", "1999"]:
            with self.subTest(text=text):
                results = song_search(text)
                self.assertTrue(results)
                for artist, path, title in results:
                    self.assertEqual(known.get(path), (artist, title))

    # (search text, (artist, title) pairs the page must list, in page order)
    CASES = [
        # Artist page order; "moon" begins "Moons" too.
        ("The Lanterns Paper Moon", [
            ("The Lanterns", "Paper Moons"), ("The Lanterns", "Paper Moon"),
            ("The Lanterns", "Paper Moon (Live)"), ("The Lanterns", "Paper Moon [Remix]")]),
        ("Lantern Paper Moon Live", [
            ("The Lantern", "Paper Moon (Live)"), ("The Lanterns", "Paper Moon (Live)")]),
        (" Rock & Reel", [("Brass & Bellows", "Rock & Reel"), ("Brass Bellows", "Rock and Reel")]),
        ("Rosie O'Dell \"Hello,\" She Said", [("Rosie O'Dell", "\"Hello,\" She Said")]),
        ("Nobody Nothing", []),
    ]

    def test_search_results(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual([(a, t) for a, _, t in song_search(text)], expected)

    def test_artist_and_title_words_are_highlighted(self):
        page = SITE.page(m.search_path("Kestrel Kestrel", "artisttitle"))
        self.assertIn('<h3><a href="/artist/kestrel.html" class="artist"><strong>Kestrel</strong>'
                      '</a></h3>\n<a href="/lyrics/kestrel/kestrel.html" title="Kestrel Lyrics" >'
                      '<strong>Kestrel</strong> Lyrics</a>', page)


class SongPageTest(unittest.TestCase):
    def test_get_lyrics_gives_the_corpus_text_for_every_song(self):
        for artist, song in SONGS:
            with self.subTest(path=song["path"]):
                self.assertEqual(m.get_lyrics(SITE.page(song["path"])),
                                 (song["lyrics_result"], song["lyrics"]))

    def test_page_kinds_look_as_described(self):
        for artist, song in SONGS:
            page = SITE.page(song["path"])
            start = page.find(m.LYRICS_START)
            rest = page[start:]
            with self.subTest(path=song["path"], kind=song["kind"]):
                self.assertEqual(page.count(m.LYRICS_START), 0 if song["kind"] == "no_block" else 1)
                if song["kind"] in ("copyright_end", "unclosed"):
                    self.assertNotIn(m.LYRICS_END, rest)
                if song["kind"] != "no_block":
                    self.assertEqual(m.COPYRIGHT in rest, song["kind"] != "unclosed")
                self.assertEqual(m.APOLOGY in page, song["kind"] == "apology")


class FurnitureTest(unittest.TestCase):
    """Pages where no pattern may find anything: only furniture around an empty result."""

    EMPTY_PAGES = [
        "/", "/browse/l.html", "/browse/0.html", "/no/such/page.html",
        m.search_path("Nobody At All", "artist"), m.search_path("Nobody At All", "artisttitle"),
        m.search_path("", "artist"), "/artist/the-quiet-room.html",
    ]

    def test_no_pattern_matches_furniture(self):
        for path in self.EMPTY_PAGES:
            with self.subTest(path=path):
                _, _, body = SITE.fetch(path, proxy=True)
                page = body.decode("iso-8859-1")
                self.assertIn("Advertisement", page)
                for pattern in (m.ARTIST_PATTERN, m.SONG_LINK_PATTERN, m.RESULT_PATTERN):
                    self.assertIsNone(pattern.search(page), pattern.pattern)
                self.assertNotIn(m.LYRICS_START, page)

    def test_pattern_counts_equal_entry_counts(self):
        # Furniture on pages with entries adds no matches of its own.
        artist = next(a for a in ARTISTS if a["slug"] == "the-lanterns")
        page = SITE.page(artist["path"])
        self.assertEqual(len(m.SONG_LINK_PATTERN.findall(page)), len(artist["songs"]))
        self.assertIsNone(m.ARTIST_PATTERN.search(page))
        self.assertIsNone(m.RESULT_PATTERN.search(SITE.page(m.search_path("lantern", "artist"))))
        combined = SITE.page(m.search_path("the lanterns", "artisttitle"))
        self.assertEqual(combined.count('<div class="result song">'),
                         len(m.RESULT_PATTERN.findall(combined)))
        song_page = SITE.page(artist["songs"][0]["path"])
        for pattern in (m.ARTIST_PATTERN, m.SONG_LINK_PATTERN, m.RESULT_PATTERN):
            self.assertIsNone(pattern.search(song_page))


if __name__ == "__main__":
    unittest.main()
