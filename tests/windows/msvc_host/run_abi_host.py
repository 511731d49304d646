#!/usr/bin/env python3
"""Runs the Microsoft-ABI test host (abi_host.exe, built by clang) against Tunewell.dll under
Wine, with the bundled site on the Linux side: it starts the site, hands the host the site's
address, a song of the corpus and that song's lyrics (UTF-16LE, CR LF, as GetLyrics gives
them), and passes on the host's verdict, its exit status.

Usage: run_abi_host.py WINE_RUN PREFIX ABI_HOST DLL SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile

ESCAPES = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}


def unescape(field):
    out, i = [], 0
    while i < len(field):
        pair = field[i:i + 2]
        if pair in ESCAPES:
            out.append(ESCAPES[pair])
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def first_song(corpus):
    with open(corpus, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 7 and fields[0] == "S" and fields[4] == "lyrics" and fields[5] == "1":
                return fields[1], fields[2], unescape(fields[6])
    raise SystemExit("no song with lyrics in " + corpus)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main(wine_run, prefix, host, dll, source):
    artist, title, lyrics = first_song(os.path.join(source, "site", "corpus.tsv"))
    with tempfile.TemporaryDirectory() as scratch:
        expected = os.path.join(scratch, "lyrics.txt")
        with open(expected, "wb") as f:
            f.write(lyrics.encode("utf-16-le"))
        os.mkdir(os.path.join(scratch, "log"))
        site = subprocess.Popen([sys.executable, os.path.join(source, "site", "server.py"),
                                 "--port", "0"], stdout=subprocess.PIPE, text=True)
        try:
            port = site.stdout.readline().split()[1]
            env = dict(os.environ, TW_DLL=windows_path(dll), TW_PROXY="127.0.0.1:" + port,
                       TW_LOG=windows_path(os.path.join(scratch, "log")), TW_ARTIST=artist,
                       TW_TITLE=title, TW_LYRICS=windows_path(expected))
            return subprocess.run([wine_run, prefix, host], env=env, timeout=300).returncode
        finally:
            site.terminate()
            site.wait()


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
