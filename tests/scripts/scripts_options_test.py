"""Every script of scripts/ answers --help at once, and refuses an option it does not know
before it installs or builds anything."""
import os
import subprocess
import unittest

SCRIPTS = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))

# script | refuses an unknown option (run hands its options to `tunewell demo`)
CASES = [
    ("build", True), ("test", True), ("package", True), ("fuzz", True),
    ("install-deps", True), ("wine-run", True), ("check-layers", True), ("check-skips", True),
    ("run", False),
]


def run(script, option):
    return subprocess.run([os.path.join(SCRIPTS, script), option], capture_output=True,
                          text=True, timeout=30)


class ScriptOptions(unittest.TestCase):
    def test_help_and_unknown_options(self):
        for script, refuses in CASES:
            with self.subTest(script=script):
                help = run(script, "--help")
                self.assertEqual(0, help.returncode, help.stderr)
                self.assertIn("usage", help.stdout.lower())
                if refuses:
                    unknown = run(script, "--frobnicate")
                    self.assertEqual(2, unknown.returncode, unknown.stdout)
                    self.assertIn("--frobnicate", unknown.stderr)


if __name__ == "__main__":
    unittest.main()
