#!/usr/bin/env python3
"""Runs a command beside a local HTTP server (Python's http.server).

usage: with-http-server.py [--root DIR] [--slow-rate BYTES_PER_SECOND] [--tls-ca DIR] -- COMMAND [ARGS...]

Serves DIR (by default a new empty folder, removed afterwards) on 127.0.0.1 at
a port that the system picks, so runs in parallel never collide. COMMAND runs
with these in its environment:
  LUMAREST_HTTP_PORT          the server's port
  LUMAREST_HTTP_ROOT          the served folder (Linux path)
  LUMAREST_HTTP_ROOT_WINDOWS  the same folder as Wine sees it (Z:\\...)
  LUMAREST_HTTP_CLOSED_PORT   a port on 127.0.0.1 that nobody listens on
  LUMAREST_HTTP_SILENT_PORT   a port on 127.0.0.1 that takes connections and never answers
With --tls-ca, the same folder is also served over TLS, on two more ports:
  LUMAREST_HTTPS_PORT            with a certificate for 127.0.0.1 signed by the
                                 test CA in DIR (ca.pem, ca.key; made there
                                 once when missing)
  LUMAREST_HTTPS_UNTRUSTED_PORT  with one signed by a CA made for this run
                                 only, which nothing trusts
The server certificates and their keys are made for each run, in a
temporary folder removed afterwards.
Files below a folder named "slow" are sent at the slow rate (default 256 KB/s),
so a download lasts long enough to be watched or cancelled. Below "drip" one
byte goes every 5 seconds; below "stall" the first half of the file goes at
once and then nothing more, the connection held open. The server stops when
COMMAND ends; the script exits with COMMAND's exit code.
"""
import argparse
import fcntl
import functools
import http.server
import os
import shutil
import socket
import ssl
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


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_ca(folder, name):
    """A CA key and certificate (folder/ca.key, folder/ca.pem), valid for a year."""
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "365",
            "-subj", "/CN=" + name, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", os.path.join(folder, "ca.key"), "-out", os.path.join(folder, "ca.pem"))


def ensure_ca(folder):
    """The build's test CA in folder, made once; runs in parallel wait for the first."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "ca.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(folder, "ca.pem")):
            make_ca(folder, "Lumarest Test CA")


def make_server_certificate(ca_folder, folder):
    """A key and certificate for 127.0.0.1 in folder, signed by the CA of ca_folder."""
    key, request, certificate = (os.path.join(folder, name) for name in ("server.key", "server.csr", "server.pem"))
    extensions = os.path.join(folder, "server.ext")
    with open(extensions, "w") as text:
        text.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                   "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n")
    openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=127.0.0.1",
            "-keyout", key, "-out", request)
    openssl("x509", "-req", "-in", request, "-CA", os.path.join(ca_folder, "ca.pem"),
            "-CAkey", os.path.join(ca_folder, "ca.key"), "-set_serial", str(int(time.time() * 1000)), "-days", "30",
            "-extfile", extensions, "-out", certificate)
    return certificate, key


def tls_server(root, certificate, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server = TlsServer(("127.0.0.1", 0), functools.partial(Handler, directory=root))
    server.context = context
    return server


class TlsServer(http.server.ThreadingHTTPServer):
    """Each connection's handshake runs on its own thread, so a client that
    refuses the certificate holds up no other."""
    daemon_threads = True
    context = None

    def finish_request(self, request, client_address):
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return  # the client refused the certificate or hung up
        super().finish_request(request, client_address)


def closed_port():
    # A port just released by the system is one that nothing listens on.
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(usage="%(prog)s [--root DIR] [--slow-rate BYTES_PER_SECOND] [--tls-ca DIR] "
                                           "-- COMMAND [ARGS...]",
                                     description=__doc__.split("\n\n", 2)[2],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root")
    parser.add_argument("--slow-rate", type=int, default=Handler.slow_rate)
    parser.add_argument("--tls-ca")
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
    servers = [server]
    certificates = tempfile.mkdtemp(prefix="lumarest-tls-")
    if options.tls_ca:
        ensure_ca(options.tls_ca)
        untrusted_ca = os.path.join(certificates, "untrusted")
        os.makedirs(untrusted_ca)
        make_ca(untrusted_ca, "Lumarest Untrusted Test CA")
        servers.append(tls_server(root, *make_server_certificate(options.tls_ca, certificates)))
        servers.append(tls_server(root, *make_server_certificate(untrusted_ca, untrusted_ca)))
    for each in servers:
        threading.Thread(target=each.serve_forever, daemon=True).start()
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
    if options.tls_ca:
        environment.update(LUMAREST_HTTPS_PORT=str(servers[1].server_address[1]),
                           LUMAREST_HTTPS_UNTRUSTED_PORT=str(servers[2].server_address[1]))
    try:
        return subprocess.call(command, env=environment)
    finally:
        STOPPING.set()
        for each in servers:
            each.shutdown()
            each.server_close()
        silent.close()
        shutil.rmtree(certificates, ignore_errors=True)
        if own_root:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
