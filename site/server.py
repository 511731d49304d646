#!/usr/bin/env python3
"""The bundled Tunewell lyrics site: a threaded HTTP server for the plug-in's demo and tests.

    python3 site/server.py --port 0 [--host-name NAME] [--bind ADDR] [--log FILE]
                           [--delay-ms N]

It prints "PORT <n>" as its first line on stdout as soon as it listens, then serves until it is
interrupted or terminated. It answers ordinary requests ("GET /search.php?... HTTP/1.1") and
proxy-form requests for its site host ("GET http://<host>/search.php?... HTTP/1.1"), so the
plug-in can reach it through its HTTP proxy setting; a proxy-form request for any other host
gets 502. Pages are ISO 8859-1 with that charset in Content-Type.

With --log, every response adds one JSON line to the file: method, the raw request target,
whether it was in proxy form, the Host header, the User-Agent, all headers in order, and the
status. --delay-ms holds every answer back that long, for time-out tests.

Each request runs on its own thread; the pages object is read-only and the log is written
under a lock, one flushed line per request.
"""

import argparse
import http
import json
import os
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pages as site_pages
import search

DEFAULT_HOST_NAME = "lyrics.tunewell.test"
STATIC_TYPES = {".css": "text/css", ".js": "application/javascript"}
STATIC_DIR = os.path.join(site_pages.SITE_DIR, "static")


class RequestLog:
    """Appends one JSON line per request to a file; None path means no log."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, entry):
        if self.file is None:
            return
        line = json.dumps(entry, ensure_ascii=False)
        with self.lock:
            self.file.write(line + "\n")
            self.file.flush()


def split_target(target):
    """(proxy form?, host named in the target or None, path, query) of a request target."""
    if "://" not in target.split("?", 1)[0]:
        path, _, query = target.partition("?")
        return False, None, path, query
    parts = urllib.parse.urlsplit(target)
    return True, parts.hostname, parts.path or "/", parts.query


def is_site_host(name, host_name):
    return name is not None and name.lower() in (host_name.lower(), "localhost", "127.0.0.1")


def clean_path(path):
    """Percent-decoded path with runs of slashes merged ("//lyrics/a.html" -> "/lyrics/a.html")."""
    path = urllib.parse.unquote(path, encoding="latin-1")
    while "//" in path:
        path = path.replace("//", "/")
    return path if path.startswith("/") else "/" + path


class SiteHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "Apache/2.2.22"

    def version_string(self):
        return self.server_version

    # ----- routing

    def route(self, path, query):
        """(status, content type, body bytes, extra headers) for a site path."""
        pages = self.server.pages
        parts = path.strip("/").split("/") if path != "/" else []
        html_page = None
        if not parts or parts == ["index.php"] or parts == ["index.html"]:
            html_page = pages.home()
        elif parts == ["search.php"]:
            html_page = pages.search(search.decode_query(query))
        elif len(parts) == 2 and parts[0] == "artist" and parts[1].endswith(".html"):
            html_page = pages.artist(parts[1][:-5])
        elif len(parts) == 3 and parts[0] == "lyrics" and parts[2].endswith(".html"):
            html_page = pages.song(parts[1], parts[2][:-5])
        elif len(parts) == 2 and parts[0] == "browse" and parts[1].endswith(".html"):
            html_page = pages.browse(parts[1][:-5])
        elif len(parts) == 2 and parts[0] == "static":
            static = self.static_file(parts[1])
            if static:
                return static
        if html_page is None:
            html_page = pages.not_found(path)
        status, text = html_page
        cookie = {"Set-Cookie": "TWSESSION=%s; path=/" % os.urandom(6).hex()}
        return status, site_pages.CONTENT_TYPE, site_pages.encode_page(text), cookie

    def static_file(self, name):
        ext = os.path.splitext(name)[1]
        path = os.path.join(STATIC_DIR, name)
        if ext not in STATIC_TYPES or os.sep in name or not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return 200, STATIC_TYPES[ext], f.read(), {}

    # ----- HTTP

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_POST(self):
        self.send_error(405, "Method Not Allowed")

    def answer(self, send_body):
        delay = self.server.delay_ms
        if delay:
            time.sleep(delay / 1000.0)
        if self.server.next_fails():
            status = self.server.fail_status
            self.send_error(status, http.HTTPStatus(status).phrase, "Try again later")
            return
        proxy_form, host, path, query = split_target(self.raw_target())
        if proxy_form and not is_site_host(host, self.server.host_name):
            self.send_error(502, "Bad Gateway", "This server answers only for %s" %
                            self.server.host_name)
            return
        status, content_type, body, headers = self.route(clean_path(path), query)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def raw_target(self):
        """The request target exactly as sent (self.path may have been tidied by the library)."""
        words = getattr(self, "requestline", "").split()
        return words[1] if len(words) >= 2 else getattr(self, "path", "")

    def log_request(self, code="-", size="-"):
        """Called by send_response for every answer, errors included."""
        headers = getattr(self, "headers", None)
        target = self.raw_target()
        self.server.request_log.write({
            "method": getattr(self, "command", None),
            "target": target,
            "proxy_form": split_target(target)[0] if target else False,
            "host": headers.get("Host") if headers else None,
            "user_agent": headers.get("User-Agent") if headers else None,
            "headers": list(headers.items()) if headers else [],
            "status": int(code) if str(code).isdigit() else code,
        })

    def log_message(self, format, *args):  # noqa: A002 - the library's signature
        if self.server.verbose:
            super().log_message(format, *args)


class SiteServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, host_name, request_log, delay_ms=0, verbose=False,
                 fail_every=0, fail_status=503):
        super().__init__(address, SiteHandler)
        self.pages = site_pages.SitePages()
        self.host_name = host_name
        self.request_log = request_log
        self.delay_ms = delay_ms
        self.verbose = verbose
        self.fail_every = fail_every
        self.fail_status = fail_status
        self.requests = 0
        self.count_lock = threading.Lock()

    def next_fails(self):
        """True for every fail_every-th request (the first of each group): a site under load,
        for the clients' retries and back-off."""
        if not self.fail_every:
            return False
        with self.count_lock:
            self.requests += 1
            return self.requests % self.fail_every == 1 or self.fail_every == 1

    def handle_error(self, request, client_address):
        """A client that hangs up mid-answer (a time-out test) is no news; stay quiet so that
        a parent that never reads stderr cannot block the server on a full pipe."""
        if self.verbose:
            super().handle_error(request, client_address)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="The bundled Tunewell lyrics site.")
    parser.add_argument("--port", type=int, default=0, help="port to listen on; 0 = any free")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on")
    parser.add_argument("--host-name", default=os.environ.get("TUNEWELL_SITE_HOST") or
                        DEFAULT_HOST_NAME, help="site host name answered in proxy form")
    parser.add_argument("--log", help="append one JSON line per request to this file")
    parser.add_argument("--delay-ms", type=int, default=0, help="hold every answer back")
    parser.add_argument("--verbose", action="store_true", help="log requests to stderr")
    parser.add_argument("--fail-every", type=int, default=0, metavar="N",
                        help="answer the 1st, N+1st, 2N+1st ... request with an error (0: never)")
    parser.add_argument("--fail-status", type=int, default=503, metavar="CODE",
                        choices=[429, 500, 502, 503, 504],
                        help="the error of --fail-every: 503 (the default) or 429 ask the "
                        "client to wait; 500, 502 and 504 do not")
    parser.add_argument("--port-file", help="also write the PORT line to this new file, and "
                        "stop once the file is gone (for a parent that cannot read stdout)")
    return parser.parse_args(argv)


def stop_when_gone(path, server):
    """Stops the server once the parent removes the port file, which was written under a
    temporary name first so that the parent never reads half a line; the file goes when the
    server ends. A Windows host under Wine gets neither the output nor a way to end or watch
    this process."""

    def watch():
        while os.path.exists(path):
            time.sleep(0.2)
        server.shutdown()

    threading.Thread(target=watch, daemon=True).start()


def announce(line, port_file):
    """The first line the parent reads: on stdout, and in the port file when one is asked for."""
    print(line, flush=True)
    if port_file:
        with open(port_file + ".tmp", "w") as out:
            out.write(line + "\n")
        os.replace(port_file + ".tmp", port_file)


def main(argv):
    args = parse_args(argv)
    try:
        server = SiteServer((args.bind, args.port), args.host_name, RequestLog(args.log),
                            args.delay_ms, args.verbose, args.fail_every, args.fail_status)
    except OSError as error:
        # A port in use, an address not to be had: one line for the parent to pass on.
        reason = (error.strerror or str(error)).lower()
        announce("ERROR cannot listen on %s:%d: %s" % (args.bind, args.port, reason),
                 args.port_file)
        return 1
    line = "PORT %d" % server.server_address[1]
    announce(line, args.port_file)
    if args.port_file:
        stop_when_gone(args.port_file, server)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        if args.port_file and os.path.exists(args.port_file):
            os.remove(args.port_file)  # how such a parent learns that the site has ended
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
