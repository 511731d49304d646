"""scripts/check-layers against a copy of the tree: it passes on the tree as it is and fails,
naming the file, on each kind of planted violation."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SOURCE, "scripts", "check-layers")

# planted files (path: text) | what the finding must say
PLANTS = [
    ({"src/diag/planted.cpp": '#include "search/name_distance.h"\n'}, "a layer above it"),
    ({"src/platform/planted.cpp": '#include "profile/profile.h"\n'}, "a layer above it"),
    ({"src/text/planted.cpp": "#include <unistd.h>\n"}, "behind the OS seam"),
    ({"src/http/planted.cpp": "#include <curl/curl.h>\n"}, "behind the OS seam"),
    ({"host/cli/planted.cpp": "#include <windows.h>\n"}, "behind the OS seam"),
    ({"src/search/planted.cpp": "#include <boost/regex.hpp>\n"}, "Boost.Regex"),
    ({"host/cli/planted.cpp": '#include "diag/trace_log.h"\n'}, "sees only include/tunewell"),
    ({"src/text/planted_a.h": '#include "text/planted_b.h"\n',
      "src/text/planted_b.cpp": '#include "text/planted_a.h"\n'}, "circle of includes"),
    ({"src/planted/x.cpp": "\n"}, "not in a known layer"),
    ({"host/session/planted.cpp": '#include "engine/outcome.h"\n'}, "a floor of the host above"),
    ({"host/tags/planted.cpp": '#include "searches/batch_file.h"\n'}, "a feature beside it"),
    ({"host/engine/planted_a.h": '#include "engine/planted_b.h"\n',
      "host/engine/planted_b.cpp": '#include "engine/planted_a.h"\n'}, "circle of includes"),
    ({"host/planted/x.cpp": "\n"}, "not in a known floor of the host"),
    ({"host/tags/planted.cpp": '#include "review/review_board.h"\n'}, "a floor of the host above"),
    ({"host/review/planted.cpp": '#include "cli/options.h"\n'}, "a floor of the host above"),
    ({"host/searches/planted.cpp": "#include <httplib.h>\n"}, "cpp-httplib belongs"),
]


def check(root):
    return subprocess.run([sys.executable, SCRIPT, "--root", root], capture_output=True,
                          text=True)


class CheckLayers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp()
        for top in ("src", "host", "include"):
            shutil.copytree(os.path.join(SOURCE, top), os.path.join(cls.scratch, top))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_the_tree_keeps_its_layers(self):
        result = check(SOURCE)
        self.assertEqual(0, result.returncode, result.stderr)

    def test_a_tree_without_its_folders_is_refused(self):
        self.assertEqual(2, check(os.path.join(self.scratch, "src")).returncode)

    def test_each_planted_violation_fails(self):
        for files, reason in PLANTS:
            with self.subTest(reason=reason, files=sorted(files)):
                for path, text in files.items():
                    full = os.path.join(self.scratch, path)
                    os.makedirs(os.path.dirname(full), exist_ok=True)
                    with open(full, "w") as f:
                        f.write(text)
                try:
                    result = check(self.scratch)
                finally:
                    for path in files:
                        os.remove(os.path.join(self.scratch, path))
                self.assertEqual(1, result.returncode, result.stderr)
                self.assertIn(reason, result.stderr)
                self.assertIn(os.path.splitext(sorted(files)[0])[0], result.stderr)


if __name__ == "__main__":
    unittest.main()
