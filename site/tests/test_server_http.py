"""The site server at the HTTP level: both request forms, encoding, request log, options."""

import json
import os
import socket
import tempfile
import unittest

import engine_model as m
from site_process import HOST_NAME, SiteProcess, load_corpus

CORPUS = load_corpus()
PLUGIN_AGENT = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; en-US; SV1; .NET CLR 2.0.1234)"


def song_where(predicate):
    return next(s for a in CORPUS["artists"] for s in a["songs"] if predicate(s))


class BothFormsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = SiteProcess()

    @classmethod
    def tearDownClass(cls):
        cls.site.stop()

    PATHS = [
        ("/", 200), ("/index.php", 200), ("/artist/the-lanterns.html", 200),
        ("/lyrics/the-lanterns/paper-moon.html", 200), ("/browse/b.html", 200),
        (m.search_path("Chlo\u00e9 Marchand", "artist"), 200),
        (m.search_path("Brass & Bellows Rock & Reel", "artisttitle"), 200),
        ("/artist/nobody.html", 404), ("/lyrics/the-lanterns/nothing.html", 404),
        ("/browse/zz.html", 404), ("/static/../server.py", 404),
    ]

    def test_ordinary_and_proxy_form_answer_alike(self):
        for path, status in self.PATHS:
            with self.subTest(path=path):
                direct = self.site.fetch(path)
                proxied = self.site.fetch(path, proxy=True)
                self.assertEqual((direct[0], proxied[0]), (status, status))
                self.assertEqual(direct[1]["content-type"], "text/html; charset=ISO-8859-1")
                # The session cookie differs per answer; nothing else does.
                self.assertEqual(direct[2], proxied[2])
                self.assertEqual(int(direct[1]["content-length"]), len(direct[2]))

    # (request target sent in proxy form, status)
    PROXY_TARGETS = [
        ("http://lyrics.tunewell.test/artist/kestrel.html", 200),
        ("http://LYRICS.Tunewell.TEST/artist/kestrel.html", 200),
        ("http://lyrics.tunewell.test:80/artist/kestrel.html", 200),
        ("http://lyrics.tunewell.test//lyrics/kestrel/kestrel.html", 200),
        ("http://lyrics.tunewell.test", 200),
        ("http://other.example/artist/kestrel.html", 502),
        ("http://lyrics.tunewell.test.evil/artist/kestrel.html", 502),
    ]

    def test_proxy_form_serves_only_the_site_host(self):
        for target, status in self.PROXY_TARGETS:
            with self.subTest(target=target):
                response = self.site.raw(("GET %s HTTP/1.0\r\nHost: x\r\n\r\n" % target).encode())
                self.assertEqual(response.split(b" ", 2)[1], b"%d" % status, response[:80])

    def test_a_host_slash_link_path_is_served(self):
        # The plug-in puts a slash between host and link; a link that starts with one gives "//".
        self.assertEqual(self.site.fetch("//lyrics/kestrel/kestrel.html")[0], 200)

    def test_pages_are_iso_8859_1(self):
        raw_song = song_where(lambda s: "\u00e9" in s["section_html"] and s["kind"] == "lyrics")
        _, _, body = self.site.fetch(raw_song["path"], proxy=True)
        self.assertIn(b"\xe9", body)
        self.assertNotIn("\u00e9".encode("utf-8"), body)
        self.assertIn(b"\xa9 2004-2024 Tunewell Lyrics", body)
        wide = song_where(lambda s: "\u2026" in s["lyrics"] and s["kind"] == "lyrics")
        body = self.site.fetch(wide["path"])[2]
        self.assertTrue(b"&hellip;" in body or b"&#8230;" in body)
        self.assertNotIn(b"?", body.split(b'<div id="lyrics">')[1].split(b"</div>")[0])

    def test_head_gives_headers_only(self):
        status, headers, body = self.site.fetch("/artist/kestrel.html", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        self.assertGreater(int(headers["content-length"]), 1000)

    def test_other_methods_are_refused(self):
        self.assertEqual(self.site.fetch("/search.php", method="POST")[0], 405)

    def test_keep_alive_connection_serves_several_requests(self):
        request = b"GET /artist/kestrel.html HTTP/1.1\r\nHost: %s\r\n\r\n" % HOST_NAME.encode()
        closing = b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
        response = self.site.raw(request + request + closing)
        self.assertEqual(response.count(b"HTTP/1.1 200 OK\r\n"), 3)

    def test_a_stalled_client_does_not_hold_up_others(self):
        with socket.create_connection(("127.0.0.1", self.site.port)) as stalled:
            stalled.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
            self.assertEqual(self.site.fetch("/", timeout=20)[0], 200)


class RequestLogTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.log_path = os.path.join(self.folder.name, "requests.log")
        self.site = SiteProcess("--log", self.log_path)

    def tearDown(self):
        self.site.stop()
        self.folder.cleanup()

    def entries(self):
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f]

    def test_each_request_is_one_line_with_what_it_sent(self):
        search = m.search_path("Chlo\u00e9 & Co", "artist")
        self.site.fetch(search, proxy=True, headers={"User-Agent": PLUGIN_AGENT,
                                                     "Pragma": "no-cache"})
        self.site.fetch("/artist/none.html", headers={"User-Agent": "probe"})
        self.site.raw(b"GET http://elsewhere.test/ HTTP/1.0\r\n\r\n")
        first, second, third = self.entries()
        self.assertEqual(first["method"], "GET")
        self.assertEqual(first["target"], "http://%s%s" % (HOST_NAME, search))
        self.assertTrue(first["proxy_form"])
        self.assertEqual(first["host"], HOST_NAME)
        self.assertEqual(first["user_agent"], PLUGIN_AGENT)
        self.assertIn(["Pragma", "no-cache"], first["headers"])
        self.assertEqual(first["status"], 200)
        self.assertEqual((second["target"], second["proxy_form"], second["status"]),
                         ("/artist/none.html", False, 404))
        self.assertEqual(second["user_agent"], "probe")
        self.assertEqual((third["proxy_form"], third["host"], third["status"]), (True, None, 502))


class OptionsTest(unittest.TestCase):
    def test_host_name_comes_from_the_environment_by_default(self):
        env = dict(os.environ, TUNEWELL_SITE_HOST="songs.example.test")
        with SiteProcess(host_name=None, env=env) as site:
            site.host_name = "songs.example.test"
            self.assertEqual(site.fetch("/", proxy=True)[0], 200)
            site.host_name = HOST_NAME
            self.assertEqual(site.fetch("/", proxy=True)[0], 502)

    def test_host_name_option(self):
        with SiteProcess(host_name="other.test") as site:
            self.assertEqual(site.fetch("/artist/kestrel.html", proxy=True)[0], 200)

    def test_delay_holds_the_answer_back(self):
        with SiteProcess("--delay-ms", "3000") as site:
            with self.assertRaises(socket.timeout):
                site.fetch("/", timeout=0.3)
            self.assertEqual(site.fetch("/", timeout=60)[0], 200)


if __name__ == "__main__":
    unittest.main()
