#!/usr/bin/env python3
"""A scriptable HTTP/1.1 server for the HTTP client's tests: well-formed answers and the faults
a real site or network can produce (slow, truncated, malformed, endless redirects).

It listens on 127.0.0.1 at a free port, prints "PORT <n>" on its first output line and serves
until its standard input closes (so it never outlives the test that started it).

Routes (query parameters in brackets):
  /echo                 200, the body is the raw request head exactly as it arrived
  /body[size,chunk,letters]  200 with Content-Length and `size` bytes of a repeating pattern
  /status[code,reason]  that status line, a short body
  /empty                200 with Content-Length: 0
  /chunked[pieces,size,delay_ms,letters]  a chunked body trickled in `pieces` pieces
  /redirect[n]          302 to /redirect?n=n-1; n=0 answers 200 "arrived"
  /truncate[size,sent]  announces `size` bytes, sends `sent`, closes the connection
  /silent[ms]           reads the request, answers nothing for `ms` (default: until closed)
  /raw[r]               sends `r` (URL-decoded) verbatim and closes: any malformed answer
The pattern of /body is bytes(i % 251), or with letters=1 the letters a..z in turn, so a test
can check every byte of what it got.
Every request head is also appended, as one JSON line, to the file named by --log when given.
With --answer-all ROUTE (say "/status?code=404"), every request is answered by that route,
whatever it asks for: so the server can stand in as a proxy that fails each download one way.
"""
import argparse
import json
import socket
import socketserver
import sys
import threading
import time
import urllib.parse


def pattern(start, length, letters=False):
    if letters:
        return bytes(97 + (i % 26) for i in range(start, start + length))
    return bytes((i % 251) for i in range(start, start + length))


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.settimeout(60)

    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(65536)
            if not chunk:
                return None
            data += chunk
        return data.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n"

    def send(self, data):
        self.request.sendall(data)

    def respond(self, status, reason, body=b"", headers=()):
        head = "HTTP/1.1 %d %s\r\n" % (status, reason)
        head += "Content-Length: %d\r\n" % len(body)
        head += "Connection: close\r\n"
        for name, value in headers:
            head += "%s: %s\r\n" % (name, value)
        self.send(head.encode("latin-1") + b"\r\n" + body)

    def handle(self):
        head = self.read_head()
        if head is None:
            return
        self.head = head
        if self.server.log_path:
            with self.server.log_lock, open(self.server.log_path, "a") as log:
                log.write(json.dumps(head.decode("latin-1")) + "\n")
        target = head.split(b"\r\n", 1)[0].split(b" ")[1].decode("latin-1")
        target = self.server.answer_all or target
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True, encoding="latin-1")
        arg = lambda name, default: query.get(name, [default])[0]
        route = getattr(self, "route_" + url.path.strip("/").split("/")[0], None)
        if route is None:
            self.respond(404, "No Such Route", b"no such route")
            return
        try:
            route(arg)
        except (BrokenPipeError, ConnectionResetError, socket.timeout):
            pass

    def route_echo(self, arg):
        self.respond(200, "OK", self.head, [("Content-Type", "text/plain")])

    def route_body(self, arg):
        size = int(arg("size", "0"))
        chunk = int(arg("chunk", "65536"))
        letters = arg("letters", "") == "1"
        period = 26 if letters else 251
        self.send(("HTTP/1.1 200 OK\r\nContent-Length: %d\r\nContent-Type: "
                   "application/octet-stream\r\nConnection: close\r\n\r\n" % size).encode())
        block = pattern(0, period + chunk, letters)
        sent = 0
        while sent < size:
            n = min(chunk, size - sent)
            offset = sent % period
            self.send(block[offset:offset + n])
            sent += n

    def route_status(self, arg):
        code = int(arg("code", "200"))
        reason = arg("reason", "OK")
        body = b"" if code in (204, 304) or code < 200 else b"status body"
        head = "HTTP/1.1 %d %s\r\nConnection: close\r\n" % (code, reason)
        if code not in (204, 304) and code >= 200:
            head += "Content-Length: %d\r\n" % len(body)
        self.send(head.encode("latin-1") + b"\r\n" + body)

    def route_empty(self, arg):
        self.respond(200, "OK")

    def route_chunked(self, arg):
        pieces = int(arg("pieces", "5"))
        size = int(arg("size", "100"))
        delay = int(arg("delay_ms", "20")) / 1000.0
        letters = arg("letters", "") == "1"
        self.send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n")
        for i in range(pieces):
            data = pattern(i * size, size, letters)
            self.send(b"%x\r\n" % len(data) + data + b"\r\n")
            time.sleep(delay)
        self.send(b"0\r\n\r\n")

    def route_redirect(self, arg):
        n = int(arg("n", "0"))
        if n <= 0:
            self.respond(200, "OK", b"arrived")
        else:
            self.respond(302, "Found", b"moved", [("Location", "/redirect?n=%d" % (n - 1))])

    def route_truncate(self, arg):
        size = int(arg("size", "1000"))
        sent = int(arg("sent", "100"))
        self.send(("HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n"
                   % size).encode() + pattern(0, sent))
        time.sleep(0.05)

    def route_silent(self, arg):
        ms = int(arg("ms", "0"))
        deadline = time.monotonic() + (ms / 1000.0 if ms > 0 else 3600)
        self.request.settimeout(0.05)
        while time.monotonic() < deadline:
            try:
                if not self.request.recv(1):
                    return
            except socket.timeout:
                continue

    def route_raw(self, arg):
        self.send(arg("r", "").encode("latin-1"))
        time.sleep(0.05)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", default="")
    parser.add_argument("--answer-all", default="")
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.log_path = args.log
    server.answer_all = args.answer_all
    server.log_lock = threading.Lock()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()  # the test closes our input when it is done with us
    server.shutdown()


if __name__ == "__main__":
    main()
