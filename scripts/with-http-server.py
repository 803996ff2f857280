#!/usr/bin/env python3
"""Runs a command beside a local HTTP server (Python's http.server).

usage: with-http-server.py [--root DIR] [--slow-rate BYTES_PER_SECOND] -- COMMAND [ARGS...]

Serves DIR (by default a new empty folder, removed afterwards) on 127.0.0.1 at
a port that the system picks, so runs in parallel never collide. COMMAND runs
with these in its environment:
  LUMAREST_HTTP_PORT          the server's port
  LUMAREST_HTTP_ROOT          the served folder (Linux path)
  LUMAREST_HTTP_ROOT_WINDOWS  the same folder as Wine sees it (Z:\\...)
  LUMAREST_HTTP_CLOSED_PORT   a port on 127.0.0.1 that nobody listens on
  LUMAREST_HTTP_SILENT_PORT   a port on 127.0.0.1 that takes connections and never answers
Files below a folder named "slow" are sent at the slow rate (default 256 KB/s),
so a download lasts long enough to be watched or cancelled. Below "drip" one
byte goes every 5 seconds; below "stall" the first half of the file goes at
once and then nothing more, the connection held open. The server stops when
COMMAND ends; the script exits with COMMAND's exit code.
"""
import argparse
import functools
import http.server
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

PIECE = 16 * 1024
DRIP_SECONDS = 5
STOPPING = threading.Event()


class Handler(http.server.SimpleHTTPRequestHandler):
    slow_rate = 256 * 1024

    def copyfile(self, source, destination):
        try:
            if "/slow/" in self.path:
                self.send_paced(source, destination, PIECE, lambda piece: len(piece) / self.slow_rate)
            elif "/drip/" in self.path:
                self.send_paced(source, destination, 1, lambda piece: DRIP_SECONDS)
            elif "/stall/" in self.path:
                self.send_half_then_stall(source, destination)
            else:
                super().copyfile(source, destination)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client hung up: a cancelled or abandoned download, no server fault

    @staticmethod
    def send_paced(source, destination, size, pause):
        while True:
            piece = source.read(size)
            if not piece:
                return
            destination.write(piece)
            destination.flush()
            time.sleep(pause(piece))

    def send_half_then_stall(self, source, destination):
        body = source.read()
        destination.write(body[:len(body) // 2])
        destination.flush()
        # Silent until the client gives up and closes, or the server stops.
        self.connection.settimeout(1)
        while not STOPPING.is_set():
            try:
                if not self.connection.recv(1):
                    return
            except socket.timeout:
                continue

    def log_message(self, *args):
        pass  # the command's output stays readable


def closed_port():
    # A port just released by the system is one that nothing listens on.
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(usage="%(prog)s [--root DIR] [--slow-rate BYTES_PER_SECOND] -- COMMAND [ARGS...]",
                                     description=__doc__.split("\n\n", 2)[2],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root")
    parser.add_argument("--slow-rate", type=int, default=Handler.slow_rate)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    if not command:
        parser.error("no command")
    own_root = options.root is None
    root = os.path.abspath(options.root or tempfile.mkdtemp(prefix="lumarest-http-"))
    Handler.slow_rate = options.slow_rate
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=root))
    server.daemon_threads = True  # a client that hangs up mid-transfer does not hold the stop
    threading.Thread(target=server.serve_forever, daemon=True).start()
    # Never accepted: the system completes the connections into its backlog,
    # and the requests sent on them wait for an answer that never comes.
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(64)
    environment = dict(os.environ,
                       LUMAREST_HTTP_PORT=str(server.server_address[1]),
                       LUMAREST_HTTP_ROOT=root,
                       LUMAREST_HTTP_ROOT_WINDOWS="Z:" + root.replace("/", "\\"),
                       LUMAREST_HTTP_CLOSED_PORT=str(closed_port()),
                       LUMAREST_HTTP_SILENT_PORT=str(silent.getsockname()[1]))
    try:
        return subprocess.call(command, env=environment)
    finally:
        STOPPING.set()
        server.shutdown()
        server.server_close()
        silent.close()
        if own_root:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
