#!/usr/bin/python3
"""Real audio files for the end-to-end tests of `tunewell tag`, and an independent look at them.

Run with Debian's /usr/bin/python3 (mutagen is python3-mutagen). Files are made by the real
encoders (sox, lame, flac, oggenc, opusenc) and tagged by mutagen; MP4 comes from
data/tone.m4a (1 s of sine made by ffmpeg's AAC encoder: no MP4 encoder is a test dependency).

  make DIR SPEC            one file per SPEC line: NAME<TAB>FORMAT<TAB>ARTIST<TAB>TITLE<TAB>EXTRAS
                           EXTRAS, comma-separated: id3v23, id3v24, album, picture,
                           lyrics=LANG[:DESCRIPTION] (an old USLT/LYRICS/(c)lyr), unsynced (old UNSYNCEDLYRICS)
  state DIR                JSON: per file its tags, pictures and decoded audio, as mutagen and the
                           decoders see them
  check DIR BEFORE EXPECT  after tagging: per file "NAME: ok" or what is wrong, against the
                           state BEFORE and EXPECT lines NAME<TAB>LYRICS<TAB>USLT-LANGUAGE ('\\n'
                           for line ends in LYRICS)
  kill-check DIR ORIG EXPECT
                           after a killed run: each file byte-identical to ORIG/NAME, or holding
                           the expected lyrics with its audio frames unchanged; prints a count
                           line and one "BAD ..." line per other file
"""
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import mutagen
from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, ID3, TALB, TIT2, TPE1, USLT
from mutagen.mp4 import MP4, MP4Cover

HERE = os.path.dirname(os.path.abspath(__file__))
PICTURE = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 8
OLD_LYRICS = "old lyrics\nsecond line"
ID3_FORMATS = ("mp3", "wav", "aiff")
VORBIS_FORMATS = ("flac", "ogg", "opus")


def run(*args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout


def encode(fmt, work):
    """One file of the format, encoded once per run of this script."""
    wav = os.path.join(work, "tone.wav")
    if not os.path.exists(wav):
        run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1", "sine", "440")
    out = os.path.join(work, "tone." + fmt)
    if os.path.exists(out):
        return out
    commands = {
        "mp3": ["lame", "--quiet", wav, out],
        "flac": ["flac", "-s", "-o", out, wav],
        "ogg": ["oggenc", "-Q", "-o", out, wav],
        "opus": ["opusenc", "--quiet", wav, out],
        "aiff": ["sox", wav, out],
    }
    if fmt == "wav":
        shutil.copy(wav, out)
    elif fmt == "m4a":
        shutil.copy(os.path.join(HERE, "data", "tone.m4a"), out)
    else:
        run(*commands[fmt])
    return out


def tag_id3(path, fmt, artist, title, extras):
    if fmt == "mp3":
        tags = ID3()
    else:
        audio = mutagen.File(path)
        audio.add_tags()
        tags = audio.tags
    if artist:
        tags.add(TPE1(encoding=1, text=artist))
    if title:
        tags.add(TIT2(encoding=1, text=title))
    if "album" in extras:
        tags.add(TALB(encoding=1, text="Album"))
    if "picture" in extras:
        tags.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=PICTURE))
    if "lyrics" in extras:
        lang, _, desc = extras["lyrics"].partition(":")
        tags.add(USLT(encoding=1, lang=lang, desc=desc, text=OLD_LYRICS))
    version = 3 if "id3v23" in extras else 4
    if fmt == "mp3":
        tags.save(path, v2_version=version, v1=2 if "id3v1" in extras else 0)
    else:
        audio.save(v2_version=version)


def tag_vorbis(path, fmt, artist, title, extras):
    audio = mutagen.File(path)
    if artist:
        audio["ARTIST"] = artist
    if title:
        audio["TITLE"] = title
    if "album" in extras:
        audio["ALBUM"] = "Album"
    if "lyrics" in extras:
        audio["LYRICS"] = OLD_LYRICS
    if "unsynced" in extras:
        audio["UNSYNCEDLYRICS"] = OLD_LYRICS
    if "picture" in extras:
        picture = Picture()
        picture.type, picture.mime, picture.data = 3, "image/png", PICTURE
        if fmt == "flac":
            audio.add_picture(picture)
        else:
            audio["METADATA_BLOCK_PICTURE"] = base64.b64encode(picture.write()).decode()
    audio.save()


def tag_mp4(path, artist, title, extras):
    audio = MP4(path)
    if artist:
        audio["\xa9ART"] = artist
    if title:
        audio["\xa9nam"] = title
    if "album" in extras:
        audio["\xa9alb"] = "Album"
    if "picture" in extras:
        audio["covr"] = [MP4Cover(PICTURE, MP4Cover.FORMAT_PNG)]
    if "lyrics" in extras:
        audio["\xa9lyr"] = OLD_LYRICS
    audio.save()


def make_hostile_mp4(path, kind):
    """Turns a tagged M4A into one that attacks a tag reader: "free" puts a padding atom that
    claims 4 GiB inside moov/udta/meta (a writer that trusts it allocates without end); "nested" hangs 100 000 udta atoms inside each other at
    the end of moov. The sizes of the atoms around the change are mended, so the file still
    parses as far as the attack."""
    data = bytearray(open(path, "rb").read())

    def find(kind, start, end):
        while start + 8 <= end:
            size, found = struct.unpack(">I4s", data[start:start + 8])
            if found == kind:
                return start, size
            start += size
        raise ValueError("no %s atom" % kind)

    moov, moov_size = find(b"moov", 0, len(data))
    if kind == "free":
        udta, udta_size = find(b"udta", moov + 8, moov + moov_size)
        meta, meta_size = find(b"meta", udta + 8, udta + udta_size)
        ilst, ilst_size = find(b"ilst", meta + 12, meta + meta_size)  # meta: version, flags
        # Right after ilst, where a writer looks for padding to grow into.
        at, grown = ilst + ilst_size, [moov, udta, meta]
        insert = struct.pack(">I4s", 0xFFFFFFFF, b"free") + bytes(8)
    else:
        depth = 100000
        insert = b"".join(struct.pack(">I4s", 8 * (depth - i), b"udta") for i in range(depth))
        at, grown = moov + moov_size, [moov]
    for atom in grown:
        struct.pack_into(">I", data, atom, struct.unpack(">I", data[atom:atom + 4])[0] + len(insert))
    data[at:at] = insert
    open(path, "wb").write(bytes(data))


def make(folder, plan):
    work = tempfile.mkdtemp()
    try:
        with open(plan, encoding="utf-8", errors="surrogateescape") as lines:
            for line in lines:
                fields = line.rstrip("\n").split("\t")
                name, fmt, artist, title = fields[:4]
                extras = {}
                for extra in filter(None, (fields[4] if len(fields) > 4 else "").split(",")):
                    key, _, value = extra.partition("=")
                    extras[key] = value
                path = os.path.join(os.fsencode(folder), os.fsencode(name))
                os.makedirs(os.path.dirname(path), exist_ok=True)
                shutil.copy(encode(fmt, work), path)
                if "notags" in extras:
                    continue
                if fmt in ID3_FORMATS:
                    tag_id3(path, fmt, artist, title, extras)
                elif fmt in VORBIS_FORMATS:
                    tag_vorbis(path, fmt, artist, title, extras)
                else:
                    tag_mp4(path, artist, title, extras)
                if "hostile" in extras:
                    make_hostile_mp4(path, extras["hostile"])
    finally:
        shutil.rmtree(work)


def mp4_samples_hash(path):
    """The AAC frames read through the sample tables: unchanged only if both the frames and the
    offsets that point at them are right."""
    data = open(path, "rb").read()

    def boxes(start, end):
        while start + 8 <= end:
            size, kind = struct.unpack(">I4s", data[start:start + 8])
            if size < 8:
                return
            yield kind, start + 8, start + size
            start += size

    def find(path_kinds, start=0, end=len(data)):
        for kind, body, stop in boxes(start, end):
            if kind == path_kinds[0]:
                return (body, stop) if len(path_kinds) == 1 else find(path_kinds[1:], body, stop)
        raise ValueError("no " + path_kinds[0].decode())

    stbl = find([b"moov", b"trak", b"mdia", b"minf", b"stbl"])
    table = {kind: (body, stop) for kind, body, stop in boxes(*stbl)}
    stco, _ = table[b"stco"]
    chunks = struct.unpack(">I", data[stco + 4:stco + 8])[0]
    offsets = struct.unpack(">%dI" % chunks, data[stco + 8:stco + 8 + 4 * chunks])
    stsz, _ = table[b"stsz"]
    count = struct.unpack(">I", data[stsz + 8:stsz + 12])[0]
    sizes = struct.unpack(">%dI" % count, data[stsz + 12:stsz + 12 + 4 * count])
    stsc, _ = table[b"stsc"]
    runs = [struct.unpack(">III", data[stsc + 8 + 12 * i:stsc + 20 + 12 * i])
            for i in range(struct.unpack(">I", data[stsc + 4:stsc + 8])[0])]
    digest, sample = hashlib.sha256(), 0
    for chunk, offset in enumerate(offsets, 1):
        per_chunk = [r[1] for r in runs if r[0] <= chunk][-1]
        for _ in range(per_chunk):
            digest.update(data[offset:offset + sizes[sample]])
            offset += sizes[sample]
            sample += 1
    return digest.hexdigest()


def decoded_hash(path):
    fmt = path.rsplit(".", 1)[-1].lower()
    commands = {
        "mp3": ["lame", "--decode", "--quiet", "-t", path, "-"],
        "flac": ["flac", "-d", "-s", "-c", "--force-raw-format", "--endian=little",
                 "--sign=signed", path],
        "ogg": ["oggdec", "-Q", "-R", "-o", "-", path],
        "opus": ["opusdec", "--quiet", "--no-dither", "--rate", "48000", path, "-"],
        "wav": ["sox", path, "-t", "raw", "-"],
        "aiff": ["sox", path, "-t", "raw", "-"],
    }
    try:
        if fmt == "m4a":
            return mp4_samples_hash(path)
        return hashlib.sha256(run(*commands[fmt])).hexdigest()
    except Exception as error:  # a file that no longer decodes shows as such
        return "does not decode: %s" % error


def text(values):
    return "\n".join(str(v) for v in values) if values else None


def trailer_tags(path):
    """The tag kinds after an MP3's audio: a writer must keep an ID3v1 tag and add none."""
    with open(path, "rb") as f:
        f.seek(0, os.SEEK_END)
        f.seek(max(0, f.tell() - 192))
        tail = f.read()
    kinds = ["ID3v1"] if tail[-128:-125] == b"TAG" else []
    return kinds + (["APE"] if b"APETAGEX" in tail else [])


def file_state(path):
    audio = mutagen.File(path)
    tags = audio.tags if audio is not None else None
    state = {"audio": decoded_hash(path), "id3": None, "uslt": [], "unsynced": None,
             "trailer": trailer_tags(path)}
    if isinstance(tags, ID3):
        state["id3"] = "2.%d" % tags.version[1]
        frames = tags.getall("USLT")
        state["uslt"] = [[f.lang, f.desc] for f in frames]
        own = [f for f in frames if not f.desc] or frames  # a translation comes after
        state["lyrics"] = own[0].text if own else None
        state["artist"], state["title"], state["album"] = (
            text(tags.get(k).text) if tags.get(k) else None for k in ("TPE1", "TIT2", "TALB"))
        state["pictures"] = [hashlib.sha256(f.data).hexdigest() for f in tags.getall("APIC")]
    elif isinstance(audio, MP4):
        tags = tags or {}
        state["lyrics"] = text(tags.get("\xa9lyr"))
        state["artist"], state["title"], state["album"] = (
            text(tags.get(k)) for k in ("\xa9ART", "\xa9nam", "\xa9alb"))
        state["pictures"] = [hashlib.sha256(bytes(c)).hexdigest() for c in tags.get("covr", [])]
    else:
        tags = tags or {}
        state["lyrics"] = text(tags.get("lyrics"))
        state["unsynced"] = text(tags.get("unsyncedlyrics"))
        state["artist"], state["title"], state["album"] = (
            text(tags.get(k)) for k in ("artist", "title", "album"))
        blocks = [Picture(base64.b64decode(b)) for b in tags.get("metadata_block_picture", [])]
        pictures = (audio.pictures if isinstance(audio, FLAC) else []) + blocks
        state["pictures"] = [hashlib.sha256(p.data).hexdigest() for p in pictures]
    return state


def names(folder):
    return sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))


def state(folder):
    json.dump({n: file_state(os.path.join(folder, n)) for n in names(folder)}, sys.stdout)


def read_expected(path):
    expected = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as lines:
        for line in lines:
            name, lyrics, language = line.rstrip("\n").split("\t")
            expected[name] = (lyrics.replace("\\n", "\n"), language)
    return expected


def check(folder, before_file, expected_file):
    before = json.load(open(before_file, encoding="utf-8"))
    for name, (lyrics, language) in sorted(read_expected(expected_file).items()):
        old, new = before[name], file_state(os.path.join(folder, name))
        wrong = []
        if new["lyrics"] != lyrics:
            wrong.append("lyrics %r" % (new["lyrics"] or "")[:60])
        for key in ("artist", "title", "album", "pictures", "audio"):
            if new[key] != old[key]:
                wrong.append("%s %r -> %r" % (key, old[key], new[key]))
        if new["trailer"] != old["trailer"]:
            wrong.append("tags after the audio %r -> %r" % (old["trailer"], new["trailer"]))
        if name.rsplit(".", 1)[-1].lower() in ID3_FORMATS:
            if new["id3"] != (old["id3"] or "2.4"):
                wrong.append("ID3v2 version %s -> %s" % (old["id3"], new["id3"]))
            kept = [f for f in old["uslt"] if f[1]]  # described frames are the user's
            if sorted(new["uslt"]) != sorted(kept + [[language, ""]]):
                wrong.append("USLT frames %r" % new["uslt"])
        if new["unsynced"] is not None:
            wrong.append("UNSYNCEDLYRICS left")
        print("%s: %s" % (name, "; ".join(wrong) if wrong else "ok"))


def frames(path):
    """The audio frames of an MP3 (after its ID3v2 tag) or a FLAC file (after its metadata)."""
    data = open(path, "rb").read()
    if path.lower().endswith(b".mp3"):
        if data[:3] != b"ID3":
            return data
        size = 10 + sum((b & 0x7F) << (7 * (3 - i)) for i, b in enumerate(data[6:10]))
        return data[size + (10 if data[5] & 0x10 else 0):]
    at = 4
    while True:
        header, length = data[at], int.from_bytes(data[at + 1:at + 4], "big")
        at += 4 + length
        if header & 0x80:
            return data[at:]


def kill_check(folder, originals, expected_file):
    expected = read_expected(expected_file)
    counts = {"original": 0, "tagged": 0, "temporary": 0}
    for name in os.listdir(os.fsencode(folder)):
        path = os.path.join(os.fsencode(folder), name)
        if b".tunewell-" in name:
            counts["temporary"] += 1
            continue
        data, original = open(path, "rb").read(), os.path.join(os.fsencode(originals), name)
        if data == open(original, "rb").read():
            counts["original"] += 1
            continue
        try:
            lyrics = file_state(os.fsdecode(path))["lyrics"]
            whole = frames(path) == frames(original)
        except Exception as error:
            lyrics, whole = "unreadable: %s" % error, False
        if lyrics == expected[os.fsdecode(name)][0] and whole:
            counts["tagged"] += 1
        else:
            print("BAD %s: lyrics %r, audio frames %s" % (os.fsdecode(name), (lyrics or "")[:40],
                                                         "kept" if whole else "changed"))
    print("original %(original)d, tagged %(tagged)d, temporary %(temporary)d" % counts)


if __name__ == "__main__":
    command, arguments = sys.argv[1], sys.argv[2:]
    {"make": make, "state": state, "check": check, "kill-check": kill_check}[command](*arguments)
