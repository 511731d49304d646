#!/usr/bin/env python3
"""The HTTP fuzz target's server: answers every request on 127.0.0.1 with the bytes of one
file, exactly as they are, and closes the connection at once, so that a response without a
length ends without a wait. The fuzz target writes each input's response to that file before
it sends its request.

Prints "PORT <n>" on its first output line and serves until its standard input closes, so it
never outlives the fuzz target that started it.
"""
import argparse
import socket
import socketserver
import sys
import threading


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(30)
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = self.request.recv(65536)
                if not chunk:
                    return
                data += chunk
            with open(self.server.response_path, "rb") as response:
                self.request.sendall(response.read())
            self.request.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Server(socketserver.TCPServer):
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--response", required=True)
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.response_path = args.response
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
