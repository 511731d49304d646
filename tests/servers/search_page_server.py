#!/usr/bin/env python3
"""Serves pages a test wrote, for the search engine's tests: the test puts each page in a
folder under a file name made from the request target it expects, and the plug-in fetches it
through its proxy setting like a page of the lyrics site.

    python3 search_page_server.py --pages DIR [--log FILE]

It listens on 127.0.0.1 at a free port, prints "PORT <n>" on its first output line and serves
until its standard input closes, so it never outlives the test that started it.

A request target in proxy form ("http://host/path?query") is looked up by its path and query;
an ordinary one ("/path?query") as it is. The file name is that text, exactly as it arrived,
with every byte but ASCII letters and digits written as %XX (upper-case hex). The file is read
at each request, so a test may change a page between two calls. Found: 200 with the file's
bytes as "text/html; charset=ISO-8859-1"; not found: 404.

With --log, every request adds one line: the raw target, "proxy" or "origin", the Host header,
the User-Agent and the status, separated by tabs.
"""
import argparse
import os
import socketserver
import sys
import threading


def file_name(target):
    return "".join(chr(b) if chr(b).isascii() and chr(b).isalnum() else "%%%02X" % b
                   for b in target.encode("latin-1"))


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request_line = self.rfile.readline().decode("latin-1").rstrip("\r\n")
        headers = {}
        while True:
            line = self.rfile.readline().decode("latin-1")
            if line in ("\r\n", "\n", ""):
                break
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        parts = request_line.split(" ")
        if len(parts) != 3:
            return
        target = parts[1]
        proxy_form = target.startswith("http://")
        local = target
        if proxy_form:
            rest = target[len("http://"):]
            slash = rest.find("/")
            local = rest[slash:] if slash >= 0 else "/"
        path = os.path.join(self.server.pages, file_name(local))
        try:
            with open(path, "rb") as page:
                body, status, reason = page.read(), 200, "OK"
        except OSError:
            body, status, reason = b"no such page", 404, "Not Found"
        self.server.log(target, proxy_form, headers, status)
        head = ("HTTP/1.1 %d %s\r\nContent-Type: text/html; charset=ISO-8859-1\r\n"
                "Content-Length: %d\r\nConnection: close\r\n\r\n" % (status, reason, len(body)))
        try:
            self.wfile.write(head.encode("latin-1") + body)
        except (BrokenPipeError, ConnectionResetError):
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, pages, log_path):
        super().__init__(("127.0.0.1", 0), Handler)
        self.pages = pages
        self.log_path = log_path
        self.log_lock = threading.Lock()

    def log(self, target, proxy_form, headers, status):
        if not self.log_path:
            return
        fields = [target, "proxy" if proxy_form else "origin", headers.get("host", ""),
                  headers.get("user-agent", ""), str(status)]
        with self.log_lock, open(self.log_path, "a", encoding="latin-1") as log:
            log.write("\t".join(f.replace("\t", " ") for f in fields) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pages", required=True)
    parser.add_argument("--log", default="")
    args = parser.parse_args()
    server = Server(args.pages, args.log)
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05},
                     daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()  # the test closes our input when it is done with us
    server.shutdown()


if __name__ == "__main__":
    main()
