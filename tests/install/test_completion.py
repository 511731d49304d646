"""The bash completion, driven through its completion function in a bash subprocess."""

import os
import subprocess
import tempfile
import unittest

from host_help import COMPLETION, HOST, command_options, help_commands, help_options, help_text

# Sets COMP_WORDS and COMP_CWORD as bash does for the words given (the last one is the word
# under the cursor), calls the completion function and prints what it offers, one per line.
DRIVER = """
source "$COMPLETION" || exit 9
complete -p tunewell >/dev/null || exit 8
COMP_WORDS=("$@")
COMP_CWORD=$(( $# - 1 ))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
_tunewell tunewell "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\\n' "${COMPREPLY[@]}"
"""


def offered(words):
    """What the completion offers for the words; the first, tunewell, is the built host."""
    result = subprocess.run(["bash", "--norc", "--noprofile", "-c", DRIVER, "bash", HOST] +
                            words[1:], capture_output=True, text=True,
                            env=dict(os.environ, COMPLETION=COMPLETION))
    if result.returncode != 0:
        raise AssertionError("completion failed (%d): %s" % (result.returncode, result.stderr))
    return sorted(line for line in result.stdout.splitlines() if line)


class Completion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        text = help_text()
        cls.commands = sorted(help_commands(text))
        cls.options = sorted(help_options(text))
        cls.folder = tempfile.TemporaryDirectory()
        os.mkdir(os.path.join(cls.folder.name, "songs"))
        open(os.path.join(cls.folder.name, "songs.tsv"), "w").close()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_offers_what_fits_each_place(self):
        d = self.folder.name + "/"
        long_options = [o for o in self.options if o.startswith("--")]
        cases = [
            (["tunewell", ""], self.commands),
            (["tunewell", "--no-cache", "--log-dir", "logs", "so"], ["song", "songs"]),
            (["tunewell", "--", ""], self.commands),
            (["tunewell", "--"], long_options),
            # a command's own options only for it: tag's --sidecar, show's --missing
            (["tunewell", "tag", "--si"], ["--sidecar"]),
            (["tunewell", "artist", "--si"], []),
            (["tunewell", "show", "--mi"], ["--missing"]),
            (["tunewell", "tag", "--sidecar", d + "so"], [d + "songs", d + "songs.tsv"]),
            (["tunewell", "--ve"], ["--verbose", "--version"]),
            (["tunewell", "--plugin", d + "so"], [d + "songs", d + "songs.tsv"]),
            (["tunewell", "--cache-dir", d + "so"], [d + "songs"]),
            (["tunewell", "get", "--batch", d + "songs."], [d + "songs.tsv"]),
            (["tunewell", "get", "--out", d], [d + "songs"]),
            (["tunewell", "--trace-level", "De"], ["Debug", "Detail"]),
            (["tunewell", "--proxy", ""], []),
            (["tunewell", "lyrics", ""], []),
            (["tunewell", "help", ""], self.commands),
            (["tunewell", "artist", "--inc"], []),
            (["tunewell", "show", "--qu"], []),
        ]
        for words, expected in cases:
            with self.subTest(words=words):
                self.assertEqual(offered(words), sorted(expected))

    def test_offers_each_command_exactly_the_options_it_takes(self):
        for command in self.commands:
            with self.subTest(command=command):
                self.assertEqual(offered(["tunewell", command, "--"]),
                                 sorted(command_options(command)))
                self.assertEqual(offered(["tunewell", "--json", command, "--"]),
                                 sorted(command_options(command)))


if __name__ == "__main__":
    unittest.main()
