"""The manual page renders without a warning and names exactly what --help names."""

import re
import subprocess
import unittest

from host_help import HOST, MANUAL_PAGE, help_commands, help_options, help_text


def page_source():
    with open(MANUAL_PAGE, encoding="utf-8") as f:
        return f.read()


def page_words(source):
    """The page's text with the roff escapes that matter here undone: \\- is a plain -."""
    lines = [line for line in source.splitlines() if not line.startswith('.\\"')]
    return re.sub(r"\\f[BIRP]", "", "\n".join(lines)).replace("\\-", "-")


def section(source, name):
    return source.split("\n.SH " + name + "\n", 1)[1].split("\n.SH ", 1)[0]


class ManualPage(unittest.TestCase):
    def test_renders_without_warnings(self):
        result = subprocess.run(["groff", "-ww", "-z", "-man", MANUAL_PAGE],
                                capture_output=True, text=True)
        self.assertEqual((result.returncode, result.stderr), (0, ""))

    def test_names_every_option_and_only_those(self):
        # The examples are left out: their arguments may begin with "-" too.
        text = page_source().split("\n.SH EXAMPLES\n", 1)[0]
        self.assertEqual(help_options(page_words(text)), help_options(help_text()))

    def test_describes_every_command_and_section(self):
        source = page_source()
        for name in ["SYNOPSIS", "COMMANDS", "OPTIONS", "EXIT STATUS", "ENVIRONMENT", "FILES",
                     "EXAMPLES"]:
            self.assertIn("\n.SH " + name + "\n", source)
        commands = page_words(section(source, "COMMANDS"))
        described = set(re.findall(r"^\.TP\n\.B[IR]? \"?([a-z]+)", commands, re.MULTILINE))
        self.assertEqual(described, set(help_commands(help_text())))
        environment = page_words(section(source, "ENVIRONMENT"))
        for variable in ["XDG_CACHE_HOME", "http_proxy", "no_proxy", "TUNEWELL_SITE_DIR"]:
            self.assertIn(variable, environment)
        for status in "0123":
            self.assertIn(".TP\n.B " + status + "\n", section(source, "EXIT STATUS"))

    def test_carries_the_host_version(self):
        version = subprocess.run([HOST, "--version"], capture_output=True, text=True,
                                 check=True).stdout.strip()
        self.assertIn('"' + version + '"', page_source().split("\n.TH ", 1)[1].split("\n")[0])


if __name__ == "__main__":
    unittest.main()
