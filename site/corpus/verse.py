"""Original verse for the bundled lyrics site, made up from word banks.

Every text is drawn from a random.Random seeded with a string, so the same seed gives the same
song on every machine and every Python 3 (string seeds go through SHA-512, not hash()). The
words are plain Unicode; turning them into HTML is the caller's business (build.py), and so is
deciding how line breaks are written.

Nothing here may produce "<", ">", the copyright sign, "Sorry for the inconvenience" or the
word "Lyrics": the lyrics extraction would take them for markup, the end of the lyrics block,
the apology page or the song-link suffix.
"""

import random

NOUNS = [
    "lantern", "river", "harbour", "window", "letter", "engine", "garden", "shadow",
    "candle", "station", "mirror", "compass", "feather", "bridge", "ladder", "orchard",
    "meadow", "lighthouse", "sparrow", "ribbon", "anchor", "kettle", "thunder", "ember",
    "valley", "doorway", "suitcase", "radio", "sailboat", "violin", "pocket", "chimney",
]
ADJECTIVES = [
    "silver", "quiet", "broken", "golden", "restless", "paper", "hollow", "velvet",
    "crooked", "faded", "electric", "gentle", "lonely", "amber", "wild", "borrowed",
    "northern", "tired", "bright", "salty", "secret", "patient", "rusty", "tender",
]
VERBS_PAST = [
    "carried", "painted", "followed", "counted", "buried", "whispered", "chased",
    "mended", "gathered", "traded", "folded", "lifted", "borrowed", "remembered",
]
VERBS = [
    "hold", "follow", "carry", "keep", "find", "leave", "mend", "wake", "call", "turn",
    "light", "sing", "wait for", "remember",
]
VERBS_ING = [
    "turning", "burning", "falling", "calling", "waiting", "drifting", "humming",
    "shining", "rolling", "sleeping", "singing", "leaning",
]
PLACES = [
    "Marigold Street", "the harbour wall", "the county line", "the old mill road",
    "the station square", "the river bend", "the top of the hill", "the edge of town",
    "the kitchen door", "the empty pier", "Juniper Lane", "the morning train",
]
TIMES = [
    "at midnight", "in the morning", "all summer long", "before the rain",
    "when the bells ring", "after the show", "by candlelight", "in December",
    "at half past three", "on a Sunday",
]
PREPOSITIONS = ["down to", "across", "along", "up to", "back from", "around"]
NAMES = ["Molly", "Jonah", "Clara", "Eli", "Rosa", "Tom", "Ada", "Felix"]

# Lines that carry the characters the site must encode: accented Latin-1 letters, quotation
# marks, apostrophes and characters outside ISO 8859-1 (ellipsis, dash).
SPECIAL_LINES = [
    "We met in a little caf\u00e9 by the sea",
    "D\u00e9j\u00e0 vu in the doorway again",
    "So na\u00efve, so sure of the weather",
    "The se\u00f1ora sang on the stair",
    "\u00dcber the rooftops the pigeons fly",
    "She said \"stay\" and I stayed",
    "Don't let the lamplight go",
    "I'm older now, and so are you",
    "We're waiting\u2026 still waiting",
    "The night\u2014so long, so kind",
    "It's a long way home from here",
    "Ol\u00e9, ol\u00e9, the crowd goes home",
]

LINE_FORMS = [
    "I {vpast} the {adj} {noun} {prep} {place}",
    "{Name} {vpast} a {noun} {time}",
    "We were {adj} as a {noun} {time}",
    "And the {noun} keeps {ving} {prep} {place}",
    "Don't you {verb} me {time}",
    "{Adj} {noun}, {adj2} {noun2}",
    "There's a {noun} in the {noun2} {time}",
    "Every {noun} I {vpast} was {adj}",
    "Oh {name}, {verb} the {adj} {noun}",
    "The {noun2}s are {ving} {time}",
    "You {vpast} my {noun} and never looked back",
    "I'll {verb} the {noun} till the {noun2} is {adj}",
]

CHORUS_FORMS = [
    "Oh, {title}",
    "{title}, {title}",
    "Sing me {title} {time}",
    "{title}, don't you {verb} me now",
    "All I want is {title}",
]


def _fill(form, rng, title=""):
    """One line from a form; every placeholder draws a fresh word."""
    noun, noun2 = rng.sample(NOUNS, 2)
    adj, adj2 = rng.sample(ADJECTIVES, 2)
    name = rng.choice(NAMES)
    words = {
        "noun": noun, "noun2": noun2, "adj": adj, "adj2": adj2,
        "Adj": adj.capitalize(), "vpast": rng.choice(VERBS_PAST), "verb": rng.choice(VERBS),
        "ving": rng.choice(VERBS_ING), "place": rng.choice(PLACES), "time": rng.choice(TIMES),
        "prep": rng.choice(PREPOSITIONS), "name": name, "Name": name, "title": title,
    }
    line = form.format(**words)
    return line[0].upper() + line[1:]


def _verse(rng, lines, special_chance):
    stanza = []
    for _ in range(lines):
        if rng.random() < special_chance:
            stanza.append(rng.choice(SPECIAL_LINES))
        else:
            stanza.append(_fill(rng.choice(LINE_FORMS), rng))
    return stanza


def _chorus(rng, title):
    forms = rng.sample(CHORUS_FORMS, 3)
    return [_fill(form, rng, title) for form in forms]


def make_song(seed, title):
    """The stanzas of one song: a list of stanzas, each a list of lines (plain text)."""
    rng = random.Random("verse:" + seed)
    special_chance = rng.choice([0.0, 0.1, 0.25])
    chorus = _chorus(rng, title)
    stanzas = [_verse(rng, 4, special_chance), chorus, _verse(rng, 4, special_chance), chorus]
    if rng.random() < 0.5:
        stanzas.append(_verse(rng, 2, special_chance))
        stanzas.append(chorus)
    return stanzas


TITLE_FORMS = [
    "{Adj} {Noun}", "{Noun} of {Place}", "The {Adj} {Noun}", "{Ving} {Time}",
    "{Noun} and {Noun2}", "{Adj} {Noun2}s", "Letters to {Name}", "{Ving} Home",
]
TITLE_PLACES = ["Glass", "Sand", "Smoke", "Clover", "Rain", "Tin", "Salt", "Stone"]
TITLE_TIMES = ["Slowly", "Tonight", "Again", "Alone", "Together", "Sideways"]


def make_title(rng):
    """A song title in title case, such as "Silver Harbour" or "Drifting Tonight"."""
    noun, noun2 = rng.sample(NOUNS, 2)
    form = rng.choice(TITLE_FORMS)
    return form.format(
        Adj=rng.choice(ADJECTIVES).capitalize(), Noun=noun.capitalize(),
        Noun2=noun2.capitalize(), Place=rng.choice(TITLE_PLACES),
        Ving=rng.choice(VERBS_ING).capitalize(), Time=rng.choice(TITLE_TIMES),
        Name=rng.choice(NAMES))
