#!/usr/bin/env python3
"""Runs a test server for a Windows test program under Wine.

A Linux program that a Windows program starts under Wine hands back neither its output nor a
handle to wait on or end it with. This bridge, itself started that way, runs the server with
pipes as a Linux test would: it appends each line of the server's output to OUTPUT (flushed,
for the test to read), and ends the server when the test removes CONTROL (first by closing its
input, as the fault server expects, then by SIGTERM and SIGKILL). It removes OUTPUT last, which
tells the test that the server is gone; a program that ends by itself (a short script) leaves
OUTPUT there until then, so that the test reads its last lines. The server's messages go to
OUTPUT.err.

Wine detaches the bridge from the test program, so it cannot see the test end: a test program
killed by a time-out leaves CONTROL behind. The bridge then ends the server after LIFETIME
seconds, and it holds none of the descriptors it was started with, so that nothing waiting on
them (a CI job's output pipe) waits for it.

Usage: wine_bridge.py CONTROL OUTPUT COMMAND [ARGUMENT...]
"""
import os
import subprocess
import sys
import threading
import time


def copy_lines(source, output):
    with open(output, "a") as out:
        for line in source:
            out.write(line)
            out.flush()


LIFETIME = 900


def detach():
    nowhere = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(nowhere, fd)
    os.close(nowhere)


def main(control, output, command):
    detach()
    with open(output + ".err", "w") as messages:
        server = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=messages, text=True)
    copier = threading.Thread(target=copy_lines, args=(server.stdout, output), daemon=True)
    copier.start()
    end = time.monotonic() + LIFETIME
    while os.path.exists(control) and time.monotonic() < end:
        time.sleep(0.05)
    server.stdin.close()
    for stop in (lambda: None, server.terminate, server.kill):
        stop()
        try:
            server.wait(timeout=1)
            break
        except subprocess.TimeoutExpired:
            pass
    copier.join(timeout=1)
    if os.path.exists(control):
        os.remove(control)
    os.remove(output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
