"""The Debian package, made by CPack from the build, extracted with dpkg-deb -x into an empty
folder and run from there: the installed tree finds its plug-in and its site relative to its
own binary, with the source and build trees out of its reach (no path to them in any file of
the package, none on the command line or in the environment), and lintian finds no error.
"""

import gzip
import os
import shutil
import subprocess
import tempfile
import unittest

from host_help import BINARY_DIR, MANUAL_PAGE, SOURCE_DIR

CPACK = os.environ["TUNEWELL_CPACK"]


def run(*command, **options):
    return subprocess.run(list(command), capture_output=True, text=True, **options)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="tunewell-package-")
        made = run(CPACK, "--config", os.path.join(BINARY_DIR, "CPackConfig.cmake"), "-G", "DEB",
                   "-B", os.path.join(cls.scratch, "out"))
        if made.returncode != 0:
            raise RuntimeError("cpack failed: " + made.stdout + made.stderr)
        out = os.path.join(cls.scratch, "out")
        cls.deb = os.path.join(out, next(n for n in os.listdir(out) if n.endswith(".deb")))
        cls.root = os.path.join(cls.scratch, "root")
        os.mkdir(cls.root)
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def installed(self, path):
        return os.path.join(self.root, "usr", path)

    def run_installed(self, *args):
        """The extracted tunewell, in an empty folder, with a bare environment."""
        home = tempfile.mkdtemp(dir=self.scratch)
        env = {"PATH": "/usr/bin:/bin", "HOME": home, "LANG": "C.UTF-8"}
        return run(self.installed("bin/tunewell"), "--verbose", *args, cwd=home, env=env)

    def test_control_fields(self):
        fields = {}
        for name in ["Package", "Version", "Architecture", "Depends", "Description"]:
            fields[name] = run("dpkg-deb", "-f", self.deb, name).stdout.strip()
        architecture = run("dpkg", "--print-architecture").stdout.strip()
        self.assertEqual(fields["Package"], "tunewell")
        self.assertEqual(fields["Version"], "2.1.2000.0")
        self.assertEqual(fields["Architecture"], architecture)
        depends = [d.split()[0] for d in fields["Depends"].split(", ")]
        for needed in ["python3", "libc6", "libcurl4", "libstdc++6"]:
            self.assertIn(needed, depends)
        self.assertTrue(any(d.startswith("libicu") for d in depends), depends)
        self.assertIn("\n", fields["Description"])  # a summary and a long description

    def test_holds_each_part_where_the_host_looks(self):
        for path in ["bin/tunewell", "lib/tunewell/libtunewell.so",
                     "share/tunewell/site/server.py", "share/tunewell/site/corpus.json",
                     "share/bash-completion/completions/tunewell",
                     "share/doc/tunewell/README.md", "share/doc/tunewell/copyright",
                     "share/doc/tunewell/changelog.gz", "share/doc/tunewell/tunewell.schema.json",
                     "share/man/man1/tunewell.1.gz"]:
            self.assertTrue(os.path.isfile(self.installed(path)), path)
        with gzip.open(self.installed("share/man/man1/tunewell.1.gz"), "rb") as page:
            with open(MANUAL_PAGE, "rb") as source:
                self.assertEqual(page.read(), source.read())

    def test_no_file_leads_back_to_the_source_or_build_tree(self):
        trees = [os.path.realpath(SOURCE_DIR).encode(), os.path.realpath(BINARY_DIR).encode()]
        for folder, _, names in os.walk(self.root):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                for tree in trees:
                    self.assertNotIn(tree, data, os.path.join(folder, name))

    def test_info_and_demo_run_from_the_extracted_copy(self):
        plugin = "loaded the plug-in " + self.installed("lib/tunewell/libtunewell.so")
        info = self.run_installed("info")
        self.assertEqual(info.returncode, 0, info.stderr)
        self.assertIn("Name=Tunewell\n", info.stdout)
        self.assertIn(plugin, info.stderr)
        demo = self.run_installed("demo")
        self.assertEqual(demo.returncode, 0, demo.stderr)
        self.assertIn(plugin, demo.stderr)
        self.assertIn(" from " + self.installed("share/tunewell/site") + "\n", demo.stderr)
        self.assertIn("the lyrics match the site's corpus", demo.stderr)

    def test_lintian_finds_no_error(self):
        result = run("lintian", "--fail-on", "error", "--allow-root", self.deb)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
