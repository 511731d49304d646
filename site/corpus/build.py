#!/usr/bin/env python3
"""Builds the bundled site's corpus: site/corpus.json and site/corpus.tsv.

    python3 site/corpus/build.py           # rewrite both files
    python3 site/corpus/build.py --check   # exit 1 if either file is out of date

The output is deterministic (every random choice is seeded by a name), so the files are
committed and a test checks that they match this script. corpus.json is what the server
serves from and what Python tests read; corpus.tsv carries the same answers in a flat form for
the C++ end-to-end tests, which have no JSON parser.

For every song the corpus states what the plug-in's GetLyrics must give for its page: the
result (1 or 0) and the exact text (CR LF line ends). The text is composed here from the
verse; the site tests check it against an independent model of the extraction run on the page
the server actually sends.
"""

import html
import html.entities
import json
import os
import random
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import catalogue  # noqa: E402
import verse  # noqa: E402

SITE_DIR = os.path.dirname(HERE)
JSON_PATH = os.path.join(SITE_DIR, "corpus.json")
TSV_PATH = os.path.join(SITE_DIR, "corpus.tsv")

# What a song page holds where the lyrics go, and what GetLyrics makes of it.
PAGE_KINDS = {
    "lyrics": "lyrics block closed by </div>",
    "copyright_end": "lyrics block never closed; the copyright sign after it ends it",
    "apology": "the apology page: a closed block saying the lyrics are missing",
    "no_block": "no lyrics block at all (lyrics withdrawn)",
    "unclosed": "lyrics block never closed and no copyright sign anywhere after it",
}

COPYRIGHT = "\u00a9"

# How a page writes its line breaks. "keeps_blank" tells whether an empty line between stanzas
# survives the plug-in's line-end rules: only CR LF sources keep one.
BREAK_STYLES = {
    "br_crlf": {"line": "<br>\r\n", "stanza": "<br>\r\n<br>\r\n", "keeps_blank": True},
    "BR_crlf": {"line": "<BR>\r\n", "stanza": "<BR>\r\n<BR>\r\n", "keeps_blank": True},
    "br_slash_lf": {"line": "<br />\n", "stanza": "<br />\n<br />\n", "keeps_blank": False},
    "br_inline": {"line": "<br/>", "stanza": "<br/><br/>", "keeps_blank": False},
    "p_crlf": {"line": "\r\n", "stanza": "</p>\r\n\r\n<p>", "keeps_blank": True,
               "open": "<p>", "close": "</p>"},
}

# Characters outside ISO 8859-1 that the verse uses, with their named references.
NAMED_OUTSIDE_LATIN1 = {"\u2026": "&hellip;", "\u2014": "&mdash;"}


def slugify(text):
    """ASCII file-name form of a plain name: "Chloé & Co. (Live)" -> "chloe-and-co-live"."""
    text = text.replace("&", " and ")
    ascii_text = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()
    out, dash = [], False
    for ch in ascii_text.lower():
        if ch.isalnum():
            out.append(ch)
            dash = False
        elif not dash and out:
            out.append("-")
            dash = True
    return "".join(out).strip("-")


def fold_key(text):
    return text.strip().casefold()


class HtmlWriter:
    """Writes plain text as HTML the way one page of the site does: each page picks its own
    habits for accented letters, apostrophes and quotation marks."""

    def __init__(self, rng):
        self.accents = rng.choice(["named", "raw", "numeric"])
        self.apostrophe = rng.choice(["'", "&#39;", "&apos;"])
        self.quote = rng.choice(['"', "&quot;"])

    def char(self, ch):
        fixed = {"&": "&amp;", "<": "&lt;", ">": "&gt;", "'": self.apostrophe, '"': self.quote}
        if ch in fixed:
            return fixed[ch]
        code = ord(ch)
        if code < 0x80:
            return ch
        if code <= 0xFF and self.accents == "raw":
            return ch
        if self.accents != "numeric":
            if ch in NAMED_OUTSIDE_LATIN1:
                return NAMED_OUTSIDE_LATIN1[ch]
            if code in html.entities.codepoint2name:
                return "&%s;" % html.entities.codepoint2name[code]
        return "&#%d;" % code

    def text(self, text):
        return "".join(self.char(ch) for ch in text)


def lyrics_markup(stanzas, rng):
    """(inner HTML of the lyrics block, text GetLyrics gives for it)."""
    style_name = rng.choice(sorted(BREAK_STYLES))
    style = BREAK_STYLES[style_name]
    writer = HtmlWriter(rng)
    chorus_marker = rng.random() < 0.3
    blocks, texts, seen = [], [], set()
    for stanza in stanzas:
        lines = list(stanza)
        html_lines = [writer.text(line) for line in lines]
        key = tuple(lines)
        if chorus_marker and key in seen:
            lines = ["[Chorus]"] + lines
            html_lines = ["<i>[Chorus]</i>"] + html_lines
        seen.add(key)
        blocks.append(style["line"].join(html_lines))
        texts.append(lines)
    body = style.get("open", "") + style["stanza"].join(blocks) + style.get("close", "")
    lead = rng.choice(["", "\r\n", "<!-- start of lyrics -->\r\n"])
    tail = rng.choice(["", style["line"]]) if "open" not in style else "\r\n"
    if style["keeps_blank"]:
        text = "\r\n\r\n".join("\r\n".join(lines) for lines in texts)
    else:
        text = "\r\n".join(line for lines in texts for line in lines)
    return lead + body + tail, text


def apology_markup(song_html, artist_html, song_id):
    inner = ("\r\nWe are sorry, but we do not have the lyrics of <b>%s</b> by %s yet.<br>\r\n"
             "If you know them, please <a href=\"/submit.php?song=%d\">send them to us</a>.<br>\r\n"
             "Sorry for the inconvenience.\r\n" % (song_html, artist_html, song_id))
    text = ("We are sorry, but we do not have the lyrics of %s by %s yet.\r\n"
            "If you know them, please send them to us.\r\n"
            "Sorry for the inconvenience." % (html.unescape(song_html), html.unescape(artist_html)))
    return inner, text


def lyrics_section(kind, song, artist, rng):
    """(HTML from the lyrics block's start to the end of what the song page says about it,
    GetLyrics result, GetLyrics text)."""
    start = '<div id="lyrics">'
    if kind == "no_block":
        return ('<p class="notice">The lyrics of this song have been withdrawn at the request '
                'of the publisher.</p>\r\n'), 0, ""
    if kind == "apology":
        inner, text = apology_markup(song["html_title"], artist["html_name"], song["id"])
        return start + inner + "</div>\r\n", 0, text
    stanzas = verse.make_song(artist["slug"] + "/" + song["slug"], song["title"])
    inner, text = lyrics_markup(stanzas, rng)
    if kind == "lyrics":
        return start + inner + "</div>\r\n", 1, text
    year = 1998 + rng.randrange(26)
    if kind == "copyright_end":
        credit = '<p class="credit">%s %d %s Music Publishing</p>\r\n' % (
            COPYRIGHT, year, artist["html_name"])
        return start + inner + "\r\n" + credit, 1, text
    credit = '<p class="credit">Written %d. Licensed by Tunewell Lyrics.</p>\r\n' % year
    return start + inner + "\r\n" + credit, 0, ""


def song_titles(html_name, total, specials, rng):
    """[(html title, kind)] in page order: the special songs and generated ones mixed."""
    chosen = [(s, "lyrics") if isinstance(s, str) else s for s in specials]
    taken = {fold_key(html.unescape(t)) for t, _ in chosen}
    while len(chosen) < total:
        title = verse.make_title(rng)
        if fold_key(title) in taken:
            continue
        taken.add(fold_key(title))
        roll = rng.random()
        kind = "apology" if roll < 0.05 else "copyright_end" if roll < 0.12 else "lyrics"
        chosen.append((title, kind))
    rng.shuffle(chosen)
    return chosen


def build_artist(html_name, total, specials, next_id):
    name = html.unescape(html_name)
    slug = slugify(name)
    artist = {
        "name": name, "html_name": html_name, "slug": slug,
        "path": "/artist/%s.html" % slug,
        "leading_char_ok": name[:1].isascii() and name[:1].isalnum(),
        "songs": [],
    }
    rng = random.Random("artist:" + slug)
    used_slugs = set()
    for html_title, kind in song_titles(html_name, total, specials, rng):
        title = html.unescape(html_title)
        song_slug = slugify(title) or "untitled"
        while song_slug in used_slugs:
            song_slug += "-2"
        used_slugs.add(song_slug)
        song = {"id": next_id, "title": title, "html_title": html_title, "slug": song_slug,
                "link": "lyrics/%s/%s.html" % (slug, song_slug), "kind": kind}
        song["path"] = "/" + song["link"]
        next_id += 1
        song_rng = random.Random("page:%s/%s" % (slug, song_slug))
        section, result, text = lyrics_section(kind, song, artist, song_rng)
        song.update({"lyrics_result": result, "lyrics": text, "section_html": section})
        artist["songs"].append(song)
    return artist, next_id


def check(corpus):
    """The rules catalogue.py promises; a broken rule stops the build."""
    names = [fold_key(a["name"]) for a in corpus["artists"]]
    assert len(names) == len(set(names)), "artist names must differ after case folding"
    slugs = [a["slug"] for a in corpus["artists"]]
    assert len(slugs) == len(set(slugs)), "artist slugs must be unique"
    for artist in corpus["artists"]:
        titles = [fold_key(s["title"]) for s in artist["songs"]]
        assert len(titles) == len(set(titles)), "duplicate title for " + artist["name"]
        for text in [artist["name"]] + [s["title"] for s in artist["songs"]]:
            for bad in (" Lyrics", "<", ">", COPYRIGHT):
                assert bad not in text, "%r holds %r" % (text, bad)
        for song in artist["songs"]:
            assert '"' not in song["html_title"] and '"' not in artist["html_name"]
            assert song["kind"] in PAGE_KINDS


def build():
    corpus = {
        "about": "Generated by site/corpus/build.py; do not edit. Song and artist addresses "
                 "are the site host followed by 'path'.",
        "page_kinds": PAGE_KINDS,
        "artists": [],
    }
    next_id = 1
    for html_name, total, specials in catalogue.ARTISTS:
        artist, next_id = build_artist(html_name, total, specials, next_id)
        corpus["artists"].append(artist)
    check(corpus)
    return corpus


def tsv_field(value):
    text = str(int(value)) if isinstance(value, bool) else str(value)
    for raw, escaped in (("\\", "\\\\"), ("\t", "\\t"), ("\r", "\\r"), ("\n", "\\n")):
        text = text.replace(raw, escaped)
    return text


def to_tsv(corpus):
    lines = [
        "# Generated by site/corpus/build.py; do not edit. UTF-8, one record per line, fields",
        "# separated by tabs; backslash, tab, CR and LF inside a field are written \\\\ \\t \\r \\n.",
        "# A<tab>artist name<tab>artist path<tab>leading char ok (0/1)<tab>song count",
        "# S<tab>artist name<tab>song title<tab>song path<tab>page kind<tab>GetLyrics result"
        "<tab>GetLyrics text",
    ]
    for artist in corpus["artists"]:
        lines.append("\t".join(tsv_field(v) for v in (
            "A", artist["name"], artist["path"], artist["leading_char_ok"],
            len(artist["songs"]))))
        for song in artist["songs"]:
            lines.append("\t".join(tsv_field(v) for v in (
                "S", artist["name"], song["title"], song["path"], song["kind"],
                song["lyrics_result"], song["lyrics"])))
    return "\n".join(lines) + "\n"


def render(corpus):
    """{path: file content} for both output files."""
    return {
        JSON_PATH: json.dumps(corpus, ensure_ascii=False, indent=1) + "\n",
        TSV_PATH: to_tsv(corpus),
    }


def main(argv):
    outputs = render(build())
    stale = []
    for path, content in outputs.items():
        current = None
        if os.path.exists(path):
            with open(path, encoding="utf-8", newline="") as f:
                current = f.read()
        if current != content:
            stale.append(path)
            if "--check" not in argv:
                with open(path, "w", encoding="utf-8", newline="") as f:
                    f.write(content)
    if "--check" in argv and stale:
        print("out of date: " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
