"""A Python model of what the Tunewell plug-in does with the site's pages.

The site tests use it to check that the pages the server sends give the corpus's answers: the
same three patterns the plug-in runs (Python re equivalents of its Boost patterns), the same
character-reference decoding, tag stripping and line-end rules of the lyrics extraction, and
the same query encoding on the way out. It is written from the plug-in's documented behaviour,
not from the site's code, so a page the site gets wrong shows up as a difference.
"""

import html.entities
import re

# Artist search results: group 1 link, group 2 displayed name with <strong> tags.
ARTIST_PATTERN = re.compile(r'<h3><a href="([^"]*)"[^>]*>(((<strong>)|(</strong>)|[^<])+)</a></h3>')
# Artist page: group 1 link, group 2 link text ending in " Lyrics".
SONG_LINK_PATTERN = re.compile(r'<a\s+href="([^"]+)" title[^>]*>([^<]+ Lyrics)</a></li>')
# Combined search results: group 1 artist, group 6 link, group 7 title.
RESULT_PATTERN = re.compile(
    r'<h3><a href[^>]+>((([^<])|(<strong>)|(</strong>))+)</a></h3>\s*<a href="([^"]+)" '
    r'title="([^"]+) Lyrics" >(([^<])|(<strong>)|(</strong>))+ Lyrics</a>')

LYRICS_START = '<div id="lyrics">'
LYRICS_END = "</div>"
COPYRIGHT = "\u00a9"
APOLOGY = "Sorry for the inconvenience"
BREAK_TAGS = ["<br>", "<BR>", "<br />", "<br/>"]
MARK = "<sbrNewline>"
TRIM = " \t\r\n\v\f"


def _entity_table():
    first = [("&nbsp;", 32), ("&quot;", 34), ("&apos;", 39), ("&lt;", 60), ("&gt;", 62)]
    skip = {"nbsp", "quot", "lt", "gt", "amp"}
    rest = sorted((code, "&%s;" % name) for name, code in html.entities.name2codepoint.items()
                  if name not in skip)
    return first + [(name, code) for code, name in rest] + [("&amp;", 38)]


ENTITY_TABLE = _entity_table()
NUMERIC_REFERENCE = re.compile(r"&#([0-9]+);")


def decode_entities(text):
    """Named references in table order, then decimal ones until none is left."""
    for name, code in ENTITY_TABLE:
        text = text.replace(name, chr(code))
    refused = set()
    while True:
        found = next((m for m in NUMERIC_REFERENCE.finditer(text) if m.group(0) not in refused),
                     None)
        if found is None:
            return text
        value = min(int(found.group(1)), 2**31 - 1)
        if 1 <= value <= 0xFFFF:
            text = text.replace(found.group(0), chr(value))
        else:
            refused.add(found.group(0))


def strip_tags(text):
    while True:
        start = text.find("<")
        end = text.find(">", start) if start >= 0 else -1
        if end < 0:
            return text
        text = text[:start] + text[end + 1:]


def replace_break_tag(text, tag):
    while True:
        p = text.find(tag)
        if p < 0:
            return text
        q = p + len(tag)
        if (p > 0 and text[p - 1] in "\r\n") or (q < len(text) and text[q] in "\r\n"):
            text = text[:p] + text[q:]
        else:
            text = text[:p] + "\r\n" + text[q:]


def _replace_first(text, old, new):
    return text.replace(old, new, 1)


def normalize_line_ends(text):
    text = text.replace("\r\n", MARK)
    pairs = ["\r\r", "\n\r", "\n\n"]
    while any(p in text for p in pairs):
        text = _replace_first(text, next(p for p in pairs if p in text), MARK)
    if MARK in text:
        touching = ["\r" + MARK, "\n" + MARK, MARK + "\r", MARK + "\n"]
        while any(t in text for t in touching):
            text = _replace_first(text, next(t for t in touching if t in text), MARK)
    for ch in ("\r", "\n"):
        while ch in text:
            text = _replace_first(text, ch, MARK)
    return text.replace(MARK, "\r\n")


def breaks_to_line_ends(text):
    for tag in BREAK_TAGS:
        text = replace_break_tag(text, tag)
    return normalize_line_ends(text)


def get_lyrics(page):
    """(result, text) of GetLyrics for a page already decoded to text."""
    start = page.find(LYRICS_START)
    if start < 0:
        return 0, ""
    begin = start + len(LYRICS_START)
    end = page.find(LYRICS_END, begin)
    if end < 0:
        end = page.find(COPYRIGHT, begin)
    if end < 0:
        return 0, ""
    text = strip_tags(breaks_to_line_ends(decode_entities(page[begin:end]))).strip(TRIM)
    if APOLOGY in text:
        return 0, text
    return (1 if text else 0), text


def artist_candidates(page):
    """[(link, name)] as the artist lookup reads them: decode, then strip tags."""
    return [(m.group(1), strip_tags(decode_entities(m.group(2))))
            for m in ARTIST_PATTERN.finditer(page)]


def song_links(page):
    """[(link, title)] as the song list reads an artist page."""
    return [(m.group(1), decode_entities(m.group(2)).replace(" Lyrics", ""))
            for m in SONG_LINK_PATTERN.finditer(page)]


def song_results(page):
    """[(artist, link, title)] as the song lookup reads a combined result page: strip tags
    from the artist, then decode the title and the artist."""
    return [(decode_entities(strip_tags(m.group(1))), m.group(6), decode_entities(m.group(7)))
            for m in RESULT_PATTERN.finditer(page)]


# WinHTTP's default escaping of a request path: bytes it leaves alone are below.
_PATH_SAFE = set(b"%!$&'()*+,-./:;=?@_~") | set(range(0x30, 0x3A)) | set(range(0x41, 0x5B)) \
    | set(range(0x61, 0x7B))


def escape_path(text):
    out = []
    for byte in text.encode("utf-8"):
        out.append(chr(byte) if byte in _PATH_SAFE else "%%%02X" % byte)
    return "".join(out)


def search_path(text, category):
    """The request path the plug-in sends for a search text: %, &, # and + percent-encoded by
    the search operation, everything else escaped by the download path."""
    for raw, encoded in (("%", "%25"), ("&", "%26"), ("#", "%23"), ("+", "%2B")):
        text = text.replace(raw, encoded)
    return escape_path("/search.php?search=%s&category=%s" % (text, category))
