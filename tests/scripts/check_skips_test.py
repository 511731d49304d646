"""scripts/check-skips on CTest's report of tests that did not run."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                      "check-skips"))
REPORT = "The following tests did not run:\n\t%s\nErrors while running CTest\n"

# platform | the skipped lines ctest printed | exit status
CASES = [
    ("linux", [], 0),
    ("windows", ["12 - HostSite.RunsTheSiteInTheForegroundUntilCtrlC (Skipped)"], 0),
    ("linux", ["12 - HostSite.RunsTheSiteInTheForegroundUntilCtrlC (Skipped)"], 1),  # not here
    ("linux", ["7 - HttpProxyTest.NamedProxyCarriesTheRequest (Skipped)"], 1),  # set-up failed
]


class CheckSkips(unittest.TestCase):
    def test_only_listed_skips_pass(self):
        for platform, lines, status in CASES:
            with self.subTest(platform=platform, lines=lines), \
                    tempfile.NamedTemporaryFile("w", suffix=".log") as output:
                output.write(REPORT % "\n\t".join(lines) if lines else "100% tests passed\n")
                output.flush()
                run = subprocess.run([sys.executable, SCRIPT, "--platform", platform,
                                      output.name], capture_output=True, text=True)
                self.assertEqual(status, run.returncode, run.stderr)
                if status:
                    self.assertIn(lines[0].split()[2], run.stderr)


if __name__ == "__main__":
    unittest.main()
