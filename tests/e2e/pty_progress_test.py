"""`tunewell tag` on a pseudo-terminal 50 columns wide, against the bundled site: the progress
bar is drawn and redrawn in place, no redrawn line is wider than the terminal, and the line of a file
not found stays on screen above the bar and in the recap at the end; a dumb terminal gets plain
lines."""
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import fcntl
import unittest

HOST = os.environ["TUNEWELL_HOST"]
SOURCE = os.environ["TUNEWELL_SOURCE_DIR"]
HOST_NAME = os.environ["TUNEWELL_SITE_HOST"]
COLUMNS = 50
CONTROL = re.compile(r"\x1b\[[0-9;]*[A-Za-z]")


def corpus_songs(count):
    songs = []
    with open(os.path.join(SOURCE, "site", "corpus.tsv"), encoding="utf-8") as lines:
        for line in lines:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "S" and fields[4] == "lyrics" and fields[5] == "1":
                songs.append((fields[1], fields[2]))
    return songs[:count]


def run_on_terminal(argv, term="xterm"):
    """Everything the program wrote to a terminal of COLUMNS columns that says it is `term`,
    and its exit status."""
    leader, follower = pty.openpty()
    fcntl.ioctl(follower, termios.TIOCSWINSZ, struct.pack("HHHH", 24, COLUMNS, 0, 0))
    child = subprocess.Popen(argv, stdin=follower, stdout=subprocess.PIPE, stderr=follower,
                             env=dict(os.environ, TERM=term))
    os.close(follower)
    screen = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 60)
        if not ready:
            child.kill()
            break
        try:
            chunk = os.read(leader, 4096)
        except OSError:  # the terminal is gone with its last writer
            break
        if not chunk:
            break
        screen += chunk
    summary = child.stdout.read()
    child.stdout.close()
    os.close(leader)
    return screen.decode("utf-8", "replace"), summary.decode(), child.wait()


class ProgressOnATerminal(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="tunewell-pty-")
        # The runs' private journal: the test's own, not the user's.
        os.environ["XDG_STATE_HOME"] = self.scratch
        self.site = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "site", "server.py"), "--port", "0",
             "--host-name", HOST_NAME], stdout=subprocess.PIPE, text=True)
        self.port = int(self.site.stdout.readline().split()[1])
        plan = os.path.join(self.scratch, "plan.tsv")
        with open(plan, "w", encoding="utf-8") as out:
            for i, (artist, title) in enumerate(corpus_songs(3)):
                out.write("%d %s.mp3\tmp3\t%s\t%s\t\n" % (i, "x" * 60, artist, title))
            out.write("9 missing.mp3\tmp3\tNobody Here\tNo Such Song\t\n")
        subprocess.run(["/usr/bin/python3", os.path.join(SOURCE, "tests", "e2e", "audio_files.py"),
                        "make", os.path.join(self.scratch, "music"), plan], check=True)

    def tearDown(self):
        self.site.terminate()
        self.site.wait()
        shutil.rmtree(self.scratch)

    def test_bar_fits_and_problems_stay(self):
        music = os.path.join(self.scratch, "music")
        screen, summary, status = run_on_terminal(
            [HOST, "--proxy", "127.0.0.1:%d" % self.port, "--no-cache", "tag", "--delay", "0",
             music])
        self.assertEqual(1, status, screen)
        self.assertEqual("tagged 3, had lyrics 0, not found 1, failed 0\n", summary)
        self.assertIn("[", screen, "no bar was drawn")
        # The lines redrawn in place (the bar's) fit; a problem's line is printed once, whole,
        # and may wrap like any other.
        bars = [line for line in re.split(r"[\r\n]", CONTROL.sub("", screen)) if line[:1] == "["]
        self.assertGreater(len(bars), 4)
        for line in bars:
            self.assertLess(len(line), COLUMNS, repr(line))
        missing = "4/4 not found: %s/9 missing.mp3" % music
        self.assertIn("\r\x1b[K" + missing + "\r\n", screen, "not kept above the bar")
        self.assertIn("\r\nnot found or failed: 1\r\n  " + missing + "\r\n", screen)

    def test_a_dumb_terminal_gets_plain_lines(self):
        music = os.path.join(self.scratch, "music")
        screen, _, status = run_on_terminal(
            [HOST, "--proxy", "127.0.0.1:%d" % self.port, "--no-cache", "tag", "--delay", "0",
             music], term="dumb")
        self.assertEqual(1, status, screen)
        self.assertNotIn("\x1b", screen)
        self.assertNotIn("\r[", screen, "a bar was drawn")
        self.assertIn("4/4 not found: %s/9 missing.mp3\r\n" % music, screen)


if __name__ == "__main__":
    unittest.main()
