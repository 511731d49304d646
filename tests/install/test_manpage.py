"""The manual page renders without a warning and names exactly what --help names."""

import re
import subprocess
import unittest

from host_help import HOST, MANUAL_PAGE, command_synopses, help_commands, help_options, help_text


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

    def test_synopses_are_the_programs_own(self):
        # Each form's synopsis as the program makes it from its command table; a line of the
        # page that joins commands ("song|songs|artist|lyrics ARGS") stands for each of them.
        rendered = subprocess.run(["groff", "-man", "-Tascii", "-rLL=300n", "-P-cbou",
                                   MANUAL_PAGE], capture_output=True, text=True,
                                  check=True).stdout
        page = [line.strip() for line in
                rendered.split("\nSYNOPSIS\n", 1)[1].split("\nDESCRIPTION\n", 1)[0].splitlines()
                if line.strip().startswith("tunewell ")][1:]
        joined = {name for line in page if "|" in line
                  for name in line.split()[1].split("|")}
        own = [line for line in page if "|" not in line]
        for command in help_commands(help_text()):
            forms = command_synopses(command)
            with self.subTest(command=command):
                if command in joined:
                    continue
                for form in forms:
                    self.assertIn("tunewell " + form, own)
        self.assertEqual(len(own), sum(len(command_synopses(c)) for c in help_commands(help_text())
                                       if c not in joined))

    def test_carries_the_host_version(self):
        version = subprocess.run([HOST, "--version"], capture_output=True, text=True,
                                 check=True).stdout.strip()
        self.assertIn('"' + version + '"', page_source().split("\n.TH ", 1)[1].split("\n")[0])


if __name__ == "__main__":
    unittest.main()
