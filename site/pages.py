"""Page rendering of the bundled lyrics site.

SitePages turns the corpus (corpus.json, built by corpus/build.py) and the templates in
templates/ into the site's pages. Every page method returns (status, str); the caller encodes
the text in ISO 8859-1 (see encode_page). Rendering keeps no state beyond the corpus, so one
SitePages may serve every thread of the server at once.

The page format is what the plug-in scrapes, so a few things are load-bearing:
- artist search results: <h3><a href="/artist/...">name</a></h3>, name highlighted with <strong>;
- combined search results: the artist heading as above, then
  <a href="/lyrics/..." title="TITLE Lyrics" >TITLE Lyrics</a> with the title highlighted;
- artist pages list songs as <li><a href="lyrics/..." title="...">TITLE Lyrics</a></li>, links
  without a leading slash (the page's <base href="/"> resolves them; the plug-in puts a slash
  between the site host and the link);
- song pages carry the lyrics section built by corpus/build.py;
- nothing that comes after the content area closes a <div>: a song page whose lyrics block is
  never closed must run on to the copyright sign, not to some later </div>.
Page furniture (navigation, sidebar, advertising, footer) is written so that it never matches
the plug-in's patterns even where it looks close; the site tests check that.
"""

import html
import json
import os
import string

import search

SITE_DIR = os.path.dirname(os.path.abspath(__file__))
TEMPLATE_DIR = os.path.join(SITE_DIR, "templates")
CORPUS_PATH = os.path.join(SITE_DIR, "corpus.json")

CONTENT_TYPE = "text/html; charset=ISO-8859-1"
MAX_ARTIST_RESULTS = 50
MAX_SONG_RESULTS = 100
COPYRIGHT_SIGN = "\u00a9"


def encode_page(text):
    """Page text as ISO 8859-1 bytes; characters outside it become numeric references."""
    return text.encode("iso-8859-1", "xmlcharrefreplace")


def attribute(text):
    """Plain text made safe inside a double-quoted attribute or element content."""
    return html.escape(text, quote=True)


def letter_of(name):
    """Browse letter of a plain name: a-z, or "0" for everything else."""
    first = search.fold_char(name[:1]) if name else ""
    return first if "a" <= first <= "z" else "0"


class SitePages:
    """The site's pages, rendered from one loaded corpus."""

    def __init__(self, corpus_path=CORPUS_PATH, template_dir=TEMPLATE_DIR):
        with open(corpus_path, encoding="utf-8") as f:
            self.corpus = json.load(f)
        self.templates = {}
        for name in os.listdir(template_dir):
            if name.endswith(".html"):
                with open(os.path.join(template_dir, name), encoding="utf-8") as f:
                    self.templates[name[:-5]] = string.Template(f.read())
        self.artists = self.corpus["artists"]
        self.by_slug = {a["slug"]: a for a in self.artists}
        self.songs = {}
        for artist in self.artists:
            artist["_name"] = search.HtmlName(artist["html_name"])
            for song in artist["songs"]:
                song["_title"] = search.HtmlName(song["html_title"])
                self.songs[(artist["slug"], song["slug"])] = (artist, song)
        self.sorted_artists = sorted(self.artists, key=lambda a: (
            "".join(search.fold_char(c) for c in a["name"]), a["name"]))
        self.sidebar = self._sidebar()

    # ----- furniture

    def _sidebar(self):
        """The sidebar lists; the same on every page."""
        picks = [a for a in self.artists if any(s["kind"] == "lyrics" for s in a["songs"])]
        top = []
        for artist in picks[::9][:5]:
            song = next(s for s in artist["songs"] if s["kind"] == "lyrics")
            top.append('    <li><a href="%s" title="%s lyrics">%s Lyrics</a> <em>by %s</em></li>' % (
                song["path"], song["html_title"], song["html_title"], artist["html_name"]))
        popular = ['    <li><a href="%s" title="%s lyrics">%s</a></li>' % (
            a["path"], a["html_name"], a["html_name"]) for a in picks[2::7][:6]]
        return {"top_songs": "\n".join(top), "popular_artists": "\n".join(popular)}

    def _letters(self):
        links = ['<a href="/browse/0.html">0-9</a>']
        links += ['<a href="/browse/%s.html">%s</a>' % (c, c.upper())
                  for c in "abcdefghijklmnopqrstuvwxyz"]
        return " | ".join(links)

    def _layout(self, title, content, kind, search_value="", category="", copyright_sign=True):
        values = dict(self.sidebar)
        values.update({
            "title": title, "description": attribute("Lyrics: " + html.unescape(title)),
            "page_kind": kind, "content": content, "search_value": attribute(search_value),
            "selected_artist": ' selected="selected"' if category == "artist" else "",
            "selected_artisttitle": ' selected="selected"' if category == "artisttitle" else "",
            "copyright": COPYRIGHT_SIGN if copyright_sign else "(c)",
        })
        return self.templates["layout"].substitute(values)

    # ----- pages

    def home(self):
        newest = ['<li><a href="%s">%s</a> by <a href="%s">%s</a></li>' % (
            a["songs"][0]["path"], a["songs"][0]["html_title"], a["path"], a["html_name"])
            for a in self.artists[::5] if a["songs"]]
        content = self.templates["home"].substitute(
            song_count=sum(len(a["songs"]) for a in self.artists),
            artist_count=len(self.artists), letters=self._letters(), newest="\n".join(newest))
        return 200, self._layout("Song lyrics", content, "home")

    def not_found(self, path):
        content = self.templates["not_found"].substitute(path=attribute(path))
        return 404, self._layout("Page not found", content, "error")

    def browse(self, letter):
        if letter not in "0abcdefghijklmnopqrstuvwxyz" or len(letter) != 1:
            return self.not_found("/browse/%s.html" % letter)
        label = "0-9" if letter == "0" else letter.upper()
        rows = ['<li><a href="%s">%s</a> (%d)</li>' % (a["path"], a["html_name"], len(a["songs"]))
                for a in self.sorted_artists if letter_of(a["name"]) == letter]
        content = self.templates["browse"].substitute(
            letter_label=label, letters=self._letters(), artists="\n".join(rows))
        return 200, self._layout("Artists " + label, content, "browse")

    def artist(self, slug):
        artist = self.by_slug.get(slug)
        if artist is None:
            return self.not_found("/artist/%s.html" % slug)
        songs = ['<li><a href="%s" title="%s lyrics">%s Lyrics</a></li>' % (
            s["link"], s["html_title"], s["html_title"]) for s in artist["songs"]]
        empty = "" if songs else '<p class="empty">We have no lyrics by this artist yet.</p>'
        letter = letter_of(artist["name"])
        content = self.templates["artist"].substitute(
            artist_html=artist["html_name"], artist_slug=slug, letter=letter,
            letter_label="0-9" if letter == "0" else letter.upper(),
            song_count=len(artist["songs"]), songs="\n".join(songs), empty_note=empty)
        return 200, self._layout(artist["html_name"] + " Lyrics", content, "artist")

    def song(self, artist_slug, song_slug):
        found = self.songs.get((artist_slug, song_slug))
        if found is None:
            return self.not_found("/lyrics/%s/%s.html" % (artist_slug, song_slug))
        artist, song = found
        more = ['<li><a href="%s">%s</a></li>' % (s["path"], s["html_title"])
                for s in artist["songs"] if s is not song][:8]
        content = self.templates["song"].substitute(
            artist_html=artist["html_name"], title_html=song["html_title"],
            artist_path=artist["path"], song_id=song["id"], section=song["section_html"],
            more="\n".join(more))
        return 200, self._layout(
            "%s - %s Lyrics" % (artist["html_name"], song["html_title"]), content, "song",
            copyright_sign=song["kind"] != "unclosed")

    def search(self, params):
        """The result page of /search.php; params are the decoded query values."""
        text = params.get("search", "")
        category = params.get("category", "artisttitle")
        words = search.query_words(text)
        if category == "artist":
            hits, results = [], self._artist_results(words)
        elif category == "artisttitle":
            hits, results = self._artist_hits(words), self._song_results(words)
        else:
            hits, results = [], []
        if not words:
            summary = "Please type at least one word to search for."
        elif category not in ("artist", "artisttitle"):
            summary = "Unknown search category."
        elif results:
            summary = "%d results for <em>%s</em>" % (len(results), attribute(text))
        else:
            summary = "Sorry, nothing found for <em>%s</em>." % attribute(text)
        content = self.templates["search"].substitute(
            summary=summary, artist_hits="\n".join(hits), results="\n".join(results))
        return 200, self._layout("Search: " + attribute(text), content, "search",
                                 search_value=text, category=category)

    def _artist_results(self, words):
        found = [a for a in self.sorted_artists if search.matches(words, a["_name"])]
        return ['<div class="result artist">\n<h3><a href="%s">%s</a></h3>\n'
                '<p class="meta">%d songs</p>\n</div>' % (
                    a["path"], a["_name"].highlighted(words), len(a["songs"]))
                for a in found[:MAX_ARTIST_RESULTS]]

    def _artist_hits(self, words):
        """Artists that the whole query names, shown above the song results."""
        found = [a for a in self.sorted_artists if search.matches(words, a["_name"])][:5]
        if not found:
            return []
        rows = ['<h3><a href="%s">%s</a></h3>\n<p class="meta">%d songs</p>' % (
            a["path"], a["_name"].highlighted(words), len(a["songs"])) for a in found]
        return ['<div class="artist-hits">\n<h2>Artists</h2>'] + rows + ["</div>"]

    def _song_results(self, words):
        results = []
        for artist in self.sorted_artists:
            for song in artist["songs"]:
                if len(results) == MAX_SONG_RESULTS:
                    return results
                if search.matches(words, artist["_name"], song["_title"]):
                    results.append(
                        '<div class="result song">\n<h3><a href="%s" class="artist">%s</a></h3>\n'
                        '<a href="%s" title="%s Lyrics" >%s Lyrics</a>\n</div>' % (
                            artist["path"], artist["_name"].highlighted(words), song["path"],
                            song["html_title"], song["_title"].highlighted(words)))
        return results
