"""Search semantics of the bundled lyrics site: query decoding, word matching, highlighting.

A query matches by words. Text is cut into words at every character that is not a letter or a
digit ("Rosie O'Dell" -> rosie, o, dell; "Brass & Bellows" -> brass, bellows). Words compare
case-insensitively and without accents ("chloe" finds "Chloé"). Every word of the query must be
the beginning of some word of the entry ("lantern" finds "Lanterns"); a query without any word
finds nothing. The part of each entry word that a query word matched is highlighted with
<strong> ... </strong> in the result page, which is what the lyrics site this one stands in for
does.

Query strings are form-encoded: "+" is a space, %XX are bytes. The bytes are read as UTF-8 (what
a browser and the plug-in send) and, when they are not valid UTF-8, as ISO 8859-1 (what old
links to the site carry).

Pure functions; safe to call from any thread.
"""

import html
import re
import unicodedata
import urllib.parse

# One character of an HTML text: a character reference or a single character.
_HTML_UNIT = re.compile(r"&(?:[A-Za-z][A-Za-z0-9]*|#[0-9]+);|.", re.DOTALL)


def decode_query(query):
    """{name: value} of a raw query string; the first value of a repeated name wins."""
    values = {}
    for name, value in urllib.parse.parse_qsl(query, keep_blank_values=True,
                                              encoding="latin-1"):
        raw = value.encode("latin-1")
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            text = raw.decode("latin-1")
        values.setdefault(name, text)
    return values


def fold_char(ch):
    """One character, lower case, accent removed: "É" -> "e". Always one character, so that
    positions in the folded text are positions in the original."""
    base = unicodedata.normalize("NFKD", ch)[:1] or ch
    return base.lower()[:1] or base


def query_words(text):
    """The folded words of a query text, in order."""
    words, current = [], []
    for ch in text + " ":
        if ch.isalnum():
            current.append(fold_char(ch))
        elif current:
            words.append("".join(current))
            current = []
    return words


class HtmlName:
    """An entry's name as the page writes it (character references included), cut into
    units so that words can be found in the decoded text and highlighted in the HTML."""

    def __init__(self, html_text):
        self.units = [(m.group(0), html.unescape(m.group(0)))
                      for m in _HTML_UNIT.finditer(html_text)]
        self.words = self._find_words()

    def _find_words(self):
        """[(first unit, end unit, folded word)] for each run of letters and digits."""
        words, start = [], None
        for i, (_, ch) in enumerate(self.units + [("", " ")]):
            if ch.isalnum():
                if start is None:
                    start = i
            elif start is not None:
                folded = "".join(fold_char(c) for _, c in self.units[start:i])
                words.append((start, i, folded))
                start = None
        return words

    def folded_words(self):
        return [w for _, _, w in self.words]

    def highlighted(self, query):
        """The HTML text with every matched word beginning wrapped in <strong>."""
        marks = {}
        for start, _, word in self.words:
            length = max((len(q) for q in query if word.startswith(q)), default=0)
            if length:
                marks[start] = start + length
        out, close_at = [], None
        for i, (fragment, _) in enumerate(self.units):
            if i == close_at:
                out.append("</strong>")
                close_at = None
            if i in marks:
                out.append("<strong>")
                close_at = marks[i]
            out.append(fragment)
        if close_at is not None:
            out.append("</strong>")
        return "".join(out)


def matches(query, *names):
    """True when every query word begins some word of the given HtmlNames."""
    if not query:
        return False
    words = [w for name in names for w in name.folded_words()]
    return all(any(w.startswith(q) for w in words) for q in query)
