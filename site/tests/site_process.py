"""Starts the real site server (site/server.py) on a free loopback port for a test.

SiteProcess runs the server as a child process, reads the "PORT n" line it prints, and offers
fetches in both request forms: ordinary ("GET /path") and proxy form ("GET http://host/path"),
the way the plug-in sends them through its proxy setting. stop() ends the child; use it as a
context manager or call stop() in tearDown.
"""

import http.client
import json
import os
import socket
import subprocess
import sys

SITE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVER = os.path.join(SITE_DIR, "server.py")
CORPUS_PATH = os.path.join(SITE_DIR, "corpus.json")
HOST_NAME = "lyrics.tunewell.test"


def load_corpus():
    with open(CORPUS_PATH, encoding="utf-8") as f:
        return json.load(f)


class SiteProcess:
    def __init__(self, *args, host_name=HOST_NAME, env=None):
        self.host_name = host_name
        command = [sys.executable, SERVER, "--port", "0"] + list(args)
        if host_name is not None:
            command += ["--host-name", host_name]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True, env=env)
        first = self.process.stdout.readline()
        if not first.startswith("PORT "):
            self.process.kill()
            _, err = self.process.communicate()
            raise RuntimeError("site server did not start: %r %s" % (first, err))
        self.port = int(first.split()[1])

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        self.process.stdout.close()
        self.process.stderr.close()

    def fetch(self, path, proxy=False, headers=None, method="GET", timeout=30):
        """(status, {lower-case header: value}, body bytes) of one request."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            target = "http://%s%s" % (self.host_name, path) if proxy else path
            conn.request(method, target, headers=headers or {})
            response = conn.getresponse()
            body = response.read()
            return response.status, {k.lower(): v for k, v in response.getheaders()}, body
        finally:
            conn.close()

    def page(self, path, proxy=True):
        """The page text as the plug-in decodes it (code page 28591); fails on a non-200."""
        status, _, body = self.fetch(path, proxy=proxy)
        if status != 200:
            raise AssertionError("%s answered %d" % (path, status))
        return body.decode("iso-8859-1")

    def raw(self, request, timeout=30):
        """The whole response to raw request bytes; the server closes after a 1.0 request."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as sock:
            sock.sendall(request)
            chunks = []
            while True:
                chunk = sock.recv(65536)
                if not chunk:
                    return b"".join(chunks)
                chunks.append(chunk)
