#!/usr/bin/env python3
"""Download servers of the engine tests, all on free loopback ports.

    servers.py start STATE --installer FAKE_INSTALLER.exe
    servers.py stop STATE

`start` fills STATE/www with the served installers, makes the TLS certificates with
openssl, writes an nginx configuration and starts nginx and the scripted server
(this file, `serve`), then writes STATE/ports.txt and STATE/manifest.txt for the
tests. `stop` ends exactly the two processes that `start` recorded. Both also unmount
any small file system a fault test mounted (source name "setup-tests-small") and
could not unmount itself because it was ended first.

nginx (a real server, as users meet one), logging to STATE/logs/nginx-access.log:
  http      plain HTTP of the tree; /t/<token>/<object> is <object>, so that a test can
            find its own requests in the log; /norange/<token>/<object> is the same
            with byte ranges switched off; /to-https/<token>/<object> redirects to
            /t/<token>/<object> on https
  https     the same over TLS, with a certificate of the tests' own authority
            (STATE/ca.der), which the tests trust only while they need it;
            /to-http/<token>/<object> redirects to /t/<token>/<object> on plain HTTP
  untrusted TLS with a self-signed certificate nobody trusts

A port nobody listens on ("refused" in ports.txt): the scripted server keeps it bound
without listening, so that no other program can take it and every connection to it
is refused.

Scripted server (what nginx cannot do), address /<mode>/<token>/<object>, where the
token keeps one test's requests apart from another's; every request is appended to
STATE/logs/<token>.txt as "<method> <Range value or ->", and the modes that do more
than answer add lines of their own. "The first request for a range" means the first
for that range's last byte (a resumed part asks for another first byte):
  plain      (or any other word) HEAD, GET and single byte ranges, as nginx serves them
  hold40     holds every ranged body until 40 ranged requests are open at once
             (30 s at most; then it drops the connections without an answer)
  cut        the first request for each range end is cut after 10007 bytes
  range404   the whole object as usual, every ranged request a 404 with an HTML body
  nolength   GET and HEAD answered without Content-Length
  headonly   GET without a range answered without Content-Length; HEAD and ranges usual
  length0    Content-Length: 0
  length2g   Content-Length: 2147483648, no body
  length2g1  Content-Length: 2147483647, no body; ranged requests a 503
  reset      the first request for each range longer than 307207 bytes sends that many
             bytes of its body and waits until 40 ranges are at that point (10 s at
             most), then all of them are reset (a close with SO_LINGER 0)
  longer     the first request for each range gets its range and 5000 bytes more, and
             a Content-Length that says so
  longerclose  the same without Content-Length, ended by closing the connection
  badrange   the first request for each range gets a 206 for the range one byte further
             (one byte earlier for the file's last range)
  trickle    every ranged body is sent 500 bytes at a time, one piece every 20 ms
  stall<S>   the first requests of the first 4 ranges send 5000 bytes of the body, then
             nothing until the client closes or S seconds have passed, when the server
             closes; a line tells who ended it
  status<C>  every ranged request is answered with status C and an HTML page
  status<C>once  only the first request for each range is
  othersize  ranged requests are answered from s104857603/<object name>: the probe and
             the parts see files of different sizes
  chunked    every GET body comes in chunked transfer encoding, without Content-Length
             (the probe's too); HEAD answers as usual
  chunkedparts  only the ranged bodies are chunked
  hop<N>     every request is redirected (302) to hop<N-1>, and hop1 to plain
  drop       every ranged request is closed without an answer; the probe's connection
             is closed after its answer, since a stack sends a request again by itself
             when a connection it reuses closes without an answer
  park       the range starting at byte 0 is held (before its headers) until at least
             80 other requests have failed and then none for 3 s (60 s at most);
             meanwhile every other ranged request fails, alternately with a 503 page
             and with a 206 for another range; after the release every request is
             answered as usual. Lines:
             "park fail <first>-<last>" and "park release after <n> failures" (or
             "park release by time-out after <n> failures")
"""
import argparse
import hashlib
import mmap
import os
import random
import re
import select
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

INSTALLER_NAME = "TalvenorSetup"
PARALLEL_PARTS = 40
HOLD_SECONDS = 30
CUT_AFTER = 10007
RESET_AFTER = 3 * 102400 + 7  # three whole read blocks of the setup and a little
RESET_WAIT_SECONDS = 10
EXTRA_BYTES = 5000
TRICKLE_PIECE = 500
TRICKLE_PAUSE = 0.02
STALL_RANGES = 4
STALL_AFTER = 5000
PARK_QUIET_SECONDS = 3
# 39 parts' first attempts and the setup's 41 immediate restarts: fewer failures than
# that are never taken for the end, however long a pause between them lasts.
PARK_FAILURES_AT_LEAST = 80
PARK_MOST_SECONDS = 60
OTHER_SIZE_FOLDER = "s104857603"
# The source name of the small file systems the fault tests mount (engine_support.cpp).
SMALL_DISK = "setup-tests-small"
ERROR_PAGE = b"<html><head><title>Error</title></head><body><h1>The server cannot answer</h1>" + b"x" * 500 + b"</body></html>"


# --- served files ------------------------------------------------------------------

def padding(size, seed):
    return random.Random(seed).randbytes(size) if size > 0 else b""


def served_files(installer):
    """(path under www, bytes). Installers of 1 to 41 bytes cannot be programs: they
    are served as batch files (.cmd) of random bytes, which the system hands to the
    command interpreter named by COMSPEC; the tests name the fake installer there."""
    program = open(installer, "rb").read()
    files = []
    for size in (1000003, 104857603):
        files.append((f"s{size}/{INSTALLER_NAME}.exe", program + padding(size - len(program), size)))
    for size in (1, 39, 40, 41):
        data = bytes(b if b != ord("M") else 0 for b in padding(size, size))  # never "MZ"
        files.append((f"s{size}/{INSTALLER_NAME}.cmd", data))
    # Bytes that are no program, under a program's name.
    files.append((f"junk/{INSTALLER_NAME}.exe", b"<html>not a program</html>" + padding(5000, 5)))
    # An object whose name has no extension: the only "." is in a folder name.
    files.append((f"v1.0/{INSTALLER_NAME}", padding(5000, 6)))
    return files


def write_files(state, installer):
    www = os.path.join(state, "www")
    manifest = []
    for path, data in served_files(installer):
        full = os.path.join(www, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(data)
        manifest.append(f"{path} {len(data)} {hashlib.sha256(data).hexdigest()}")
    with open(os.path.join(state, "manifest.txt"), "w") as out:
        out.write("\n".join(manifest) + "\n")


# --- certificates ------------------------------------------------------------------

def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(state):
    tls = os.path.join(state, "tls")
    os.makedirs(tls, exist_ok=True)
    p = lambda name: os.path.join(tls, name)
    ext = p("server.ext")
    with open(ext, "w") as out:
        # Both forms of the address: Wine matches host names against DNS entries only.
        out.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                  "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n")
    # The tests' own authority, and a server certificate it signs.
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=Setup Tests Root",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", p("ca.key"), "-out", p("ca.pem"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", p("server.key"),
            "-out", p("server.csr"))
    openssl("x509", "-req", "-in", p("server.csr"), "-CA", p("ca.pem"), "-CAkey", p("ca.key"),
            "-CAcreateserial", "-days", "30", "-extfile", ext, "-out", p("server.pem"))
    openssl("x509", "-in", p("ca.pem"), "-outform", "DER", "-out", os.path.join(state, "ca.der"))
    # A self-signed certificate for the same address, which nobody trusts.
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=127.0.0.1",
            "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1", "-keyout", p("untrusted.key"),
            "-out", p("untrusted.pem"))


# --- nginx -------------------------------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def nginx_config(state, ports):
    tls = os.path.join(state, "tls")
    www = os.path.join(state, "www")
    logs = os.path.join(state, "logs")
    return f"""daemon on;
worker_processes 1;
pid {state}/nginx.pid;
error_log {logs}/nginx-error.log warn;
events {{ worker_connections 1024; }}
http {{
  log_format requests '$server_port $request_method $request_uri "$http_range" $status $body_bytes_sent';
  access_log {logs}/nginx-access.log requests;
  client_body_temp_path {state}/tmp;
  proxy_temp_path {state}/tmp;
  fastcgi_temp_path {state}/tmp;
  uwsgi_temp_path {state}/tmp;
  scgi_temp_path {state}/tmp;
  types {{ application/octet-stream exe cmd; }}
  keepalive_requests 10000;
  server {{
    listen 127.0.0.1:{ports['http']};
    root {www};
    location /t/ {{ rewrite ^/t/[^/]+/(.*)$ /$1 break; }}
    location /norange/ {{ max_ranges 0; rewrite ^/norange/[^/]+/(.*)$ /$1 break; }}
    location /to-https/ {{ rewrite ^/to-https/(.*)$ https://127.0.0.1:{ports['https']}/t/$1 redirect; }}
  }}
  server {{
    listen 127.0.0.1:{ports['https']} ssl;
    ssl_certificate {tls}/server.pem;
    ssl_certificate_key {tls}/server.key;
    root {www};
    location /t/ {{ rewrite ^/t/[^/]+/(.*)$ /$1 break; }}
    location /to-http/ {{ rewrite ^/to-http/(.*)$ http://127.0.0.1:{ports['http']}/t/$1 redirect; }}
  }}
  server {{
    listen 127.0.0.1:{ports['untrusted']} ssl;
    ssl_certificate {tls}/untrusted.pem;
    ssl_certificate_key {tls}/untrusted.key;
    root {www};
  }}
}}
"""


# --- the scripted server -----------------------------------------------------------

class Token:
    """What the server remembers about one test's requests."""

    def __init__(self):
        self.open_ranges = 0
        self.most_open = 0
        self.released = False
        self.cut_ends = set()
        self.seen_ends = set()
        self.waiting_resets = 0
        self.resets_released = False
        self.stalled = 0
        self.park_failures = 0
        self.park_last_failure = None
        self.park_released = False

    def first_request(self, last):
        """Whether this is the first request for the range ending at `last` (call with
        the server's lock held)."""
        first = last not in self.seen_ends
        self.seen_ends.add(last)
        return first


class ScriptedServer(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128
    allow_reuse_address = True

    def __init__(self, address, state):
        super().__init__(address, Handler)
        self.www = os.path.join(state, "www")
        self.logs = os.path.join(state, "logs")
        self.lock = threading.Condition()
        self.tokens = {}

    def token(self, name):
        with self.lock:
            return self.tokens.setdefault(name, Token())

    def log(self, token, line):
        with self.lock:
            with open(os.path.join(self.logs, f"{token}.txt"), "a") as out:
                out.write(line + "\n")


def mapped(path):
    """The bytes of a served file, read only where a request needs them (forty
    requests for the 100 MiB file at once must not each hold a copy)."""
    with open(path, "rb") as served:
        return mmap.mmap(served.fileno(), 0, access=mmap.ACCESS_READ)


PATH = re.compile(r"^/(\w+)/(\w+)/(.+)$")
RANGE = re.compile(r"^bytes=(\d+)-(\d+)$")
STATUS = re.compile(r"^status(\d{3})(once)?$")
STALL = re.compile(r"^stall(\d+)$")
HOP = re.compile(r"^hop(\d+)$")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(head=True)

    def do_GET(self):
        self.answer(head=False)

    def answer(self, head):
        match = PATH.match(self.path)
        if not match:
            return self.simple(404, b"<html><body>not found</body></html>", head)
        mode, token, name = match.groups()
        server = self.server
        path = os.path.normpath(os.path.join(server.www, name))
        if not path.startswith(server.www + os.sep) or not os.path.isfile(path):
            return self.simple(404, b"<html><body>not found</body></html>", head)
        data = mapped(path)
        range_text = self.headers.get("Range")
        server.log(token, f"{self.command} {range_text or '-'}")
        hop = HOP.match(mode)
        if hop:
            return self.redirect(int(hop.group(1)), token, name, head)
        if mode == "chunked" and not head and not range_text:
            return self.chunked(200, data, {})
        if mode == "length0":
            return self.headers_only(200, {"Content-Length": "0"})
        if mode == "length2g":
            return self.headers_only(200, {"Content-Length": "2147483648"}, close=True)
        if mode == "length2g1":
            if range_text:
                return self.simple(503, b"<html><body>busy</body></html>", head)
            return self.headers_only(200, {"Content-Length": "2147483647"}, close=True)
        if mode == "nolength" or (mode == "headonly" and not head and not range_text):
            self.close_connection = True
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            if not head:
                self.wfile.write(data)
            return
        if not range_text:
            if mode == "drop":  # no connection is kept for a part to reuse (see drop)
                return self.simple(200, data, head, {"Connection": "close"}, close=True)
            return self.simple(200, data, head)
        if mode == "range404":
            return self.simple(404, b"<html><body><h1>404 Not Found</h1>" + b"x" * 500 + b"</body></html>", head)
        found = RANGE.match(range_text)
        if not found:
            return self.simple(416, b"", head)
        if mode == "othersize":
            data = mapped(os.path.join(server.www, OTHER_SIZE_FOLDER, os.path.basename(name)))
        first, last = int(found.group(1)), min(int(found.group(2)), len(data) - 1)
        if first > last:
            return self.simple(416, b"", head)
        body = data[first:last + 1]
        headers = {"Content-Range": f"bytes {first}-{last}/{len(data)}"}
        if self.fault(mode, token, server.token(token), data, first, last, head):
            return
        if mode == "hold40":
            if not self.hold(token, server.token(token)):
                self.close_connection = True
                return
        if mode == "cut":
            state = server.token(token)
            with server.lock:
                cut = last not in state.cut_ends and len(body) > CUT_AFTER
                state.cut_ends.add(last)
            if cut:
                server.log(token, f"cut {first}-{last} after {CUT_AFTER}")
                self.close_connection = True
                self.send_response(206)
                for key, value in headers.items():
                    self.send_header(key, value)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[:CUT_AFTER])
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_WR)
                return
        if mode in ("chunked", "chunkedparts"):
            return self.chunked(206, body, headers, head)
        if mode == "trickle":
            return self.trickle(body, headers, head)
        self.simple(206, body, head, headers)

    def fault(self, mode, name, token, data, first, last, head):
        """Answers a ranged request the way `mode` misbehaves; False when the request
        is to be answered as usual."""
        server = self.server
        body = data[first:last + 1]
        with server.lock:
            first_request = token.first_request(last)
        status = STATUS.match(mode)
        if status and (first_request or not status.group(2)):
            code = int(status.group(1))
            self.simple(code, ERROR_PAGE, head, {"Content-Range": f"bytes */{len(data)}"} if code == 416 else None)
            return True
        if mode == "drop":
            self.close_connection = True
            return True
        if mode == "reset" and first_request and len(body) > RESET_AFTER:
            self.reset(name, token, first, last, data)
            return True
        if mode in ("longer", "longerclose") and first_request:
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {first}-{last}/{len(data)}")
            if mode == "longer":
                self.send_header("Content-Length", str(len(body) + EXTRA_BYTES))
            else:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            server.log(name, f"{mode} {first}-{last} with {EXTRA_BYTES} more")
            if not head:
                self.send_body(body + b"X" * EXTRA_BYTES)
            return True
        if mode == "badrange" and first_request:
            self.shifted(name, data, first, last, head, "badrange")
            return True
        stall = STALL.match(mode)
        if stall and first_request:
            with server.lock:
                stalled = token.stalled < STALL_RANGES
                token.stalled += stalled
            if stalled:
                self.stall(name, first, last, data, int(stall.group(1)))
                return True
        if mode == "park":
            return self.park(name, token, data, first, last, head)
        return False

    def send_body(self, body):
        try:
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def shifted(self, name, data, first, last, head, what):
        """A 206 for the asked range moved by one byte (down for the file's last range)."""
        shift = 1 if last + 1 < len(data) else -1
        self.server.log(name, f"{what} {first}-{last} answered {first + shift}-{last + shift}")
        self.simple(206, data[first + shift:last + shift + 1], head,
                    {"Content-Range": f"bytes {first + shift}-{last + shift}/{len(data)}"})

    def redirect(self, hops, name, obj, head):
        target = f"hop{hops - 1}" if hops > 1 else "plain"
        host = self.headers.get("Host", f"127.0.0.1:{self.server.server_address[1]}")
        self.simple(302, b"<html><body>moved</body></html>", head,
                    {"Location": f"http://{host}/{target}/{name}/{obj}"})

    def chunked(self, status, body, headers, head=False):
        self.send_response(status)
        for key, value in headers.items():
            self.send_header(key, value)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        if head:
            return
        pieces = [body[at:at + 8192] for at in range(0, len(body), 8192)]
        self.send_body(b"".join(b"%x\r\n%s\r\n" % (len(piece), piece) for piece in pieces) + b"0\r\n\r\n")

    def trickle(self, body, headers, head):
        self.send_response(206)
        for key, value in headers.items():
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if head:
            return
        for at in range(0, len(body), TRICKLE_PIECE):
            self.send_body(body[at:at + TRICKLE_PIECE])
            if self.close_connection:
                return
            time.sleep(TRICKLE_PAUSE)

    def reset(self, name, token, first, last, data):
        """Sends the start of the range, waits for the other ranges, then resets."""
        server = self.server
        self.send_response(206)
        self.send_header("Content-Range", f"bytes {first}-{last}/{len(data)}")
        self.send_header("Content-Length", str(last + 1 - first))
        self.end_headers()
        self.send_body(data[first:first + RESET_AFTER])
        deadline = time.monotonic() + RESET_WAIT_SECONDS
        with server.lock:
            token.waiting_resets += 1
            if token.waiting_resets >= PARALLEL_PARTS:
                server.lock.notify_all()
            while token.waiting_resets < PARALLEL_PARTS and time.monotonic() < deadline:
                server.lock.wait(deadline - time.monotonic())
            waiting = token.waiting_resets
        # Closed here, before the server's usual shutdown could send the end of the
        # stream: with a linger time of 0 the close sends a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        os.close(self.connection.detach())
        self.close_connection = True
        server.log(name, f"reset {first}-{last} after {RESET_AFTER} with {waiting} waiting")

    def stall(self, name, first, last, data, seconds):
        """Sends the start of the range, then nothing until the client gives up or the
        time is over."""
        self.send_response(206)
        self.send_header("Content-Range", f"bytes {first}-{last}/{len(data)}")
        self.send_header("Content-Length", str(last + 1 - first))
        self.end_headers()
        self.send_body(data[first:first + STALL_AFTER])
        self.close_connection = True
        deadline = time.monotonic() + seconds
        ended = "server"
        while time.monotonic() < deadline:
            readable, _, _ = select.select([self.connection], [], [], min(0.2, max(0, deadline - time.monotonic())))
            if not readable:
                continue
            try:
                gone = not self.connection.recv(1, socket.MSG_PEEK)
            except OSError:
                gone = True
            if gone:
                ended = "client"
                break
            time.sleep(0.2)
        self.server.log(name, f"stall {first}-{last} after {STALL_AFTER} ended by {ended}")

    def park(self, name, token, data, first, last, head):
        server = self.server
        if first == 0:
            started = time.monotonic()
            with server.lock:
                while not token.park_released:
                    now = time.monotonic()
                    quiet = (token.park_failures >= PARK_FAILURES_AT_LEAST and
                             now - token.park_last_failure >= PARK_QUIET_SECONDS)
                    if quiet or now - started >= PARK_MOST_SECONDS:
                        token.park_released = True
                        how = "after" if quiet else "by time-out after"
                        server.log(name, f"park release {how} {token.park_failures} failures")
                        break
                    server.lock.wait(0.1)
            return False
        with server.lock:
            if token.park_released:
                return False
            token.park_failures += 1
            token.park_last_failure = time.monotonic()
            odd = token.park_failures % 2 == 1
            server.log(name, f"park fail {first}-{last}")
        if odd:
            self.simple(503, ERROR_PAGE, head)
        else:
            self.shifted(name, data, first, last, head, "park shifted")
        return True

    def hold(self, name, token):
        server = self.server
        deadline = time.monotonic() + HOLD_SECONDS
        with server.lock:
            token.open_ranges += 1
            token.most_open = max(token.most_open, token.open_ranges)
            if token.open_ranges >= PARALLEL_PARTS and not token.released:
                token.released = True
                server.lock.notify_all()
            while not token.released and time.monotonic() < deadline:
                server.lock.wait(deadline - time.monotonic())
            released = token.released
            token.open_ranges -= 1
            most = token.most_open
        server.log(name, f"hold {'released' if released else 'timeout'} most-open {most}")
        return released

    def headers_only(self, status, headers, close=False):
        self.send_response(status)
        for key, value in headers.items():
            self.send_header(key, value)
        if close:
            self.close_connection = True
            self.send_header("Connection", "close")
        self.end_headers()

    def simple(self, status, body, head, headers=None, close=False):
        if close:
            self.close_connection = True
        self.send_response(status)
        for key, value in (headers or {}).items():
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        if status >= 400:
            self.send_header("Content-Type", "text/html")
        self.end_headers()
        if not head:
            try:
                self.wfile.write(body)
            except (BrokenPipeError, ConnectionResetError):
                self.close_connection = True


def serve(state, port_file):
    server = ScriptedServer(("127.0.0.1", 0), state)
    # Bound, never listening: connections to it are refused, and nobody else gets it.
    refused = socket.socket()
    refused.bind(("127.0.0.1", 0))
    with open(port_file + ".tmp", "w") as out:
        out.write(f"{server.server_address[1]} {refused.getsockname()[1]}")
    os.rename(port_file + ".tmp", port_file)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    # Ends by itself after an hour, should nobody stop it.
    ender = threading.Timer(3600, lambda: os._exit(0))
    ender.daemon = True
    ender.start()
    server.serve_forever()


# --- start and stop ----------------------------------------------------------------

def alive(pid):
    """Whether the process still runs (a zombie nobody reaps has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def unmount_small_disks():
    """Unmounts (lazily) the small file systems that a fault test mounted and could not
    unmount itself because it was ended first."""
    try:
        with open("/proc/mounts") as mounts:
            lines = mounts.read().splitlines()
    except OSError:
        return
    for line in lines:
        fields = line.split()
        if len(fields) > 1 and fields[0] == SMALL_DISK:
            point = re.sub(r"\\([0-7]{3})", lambda octal: chr(int(octal.group(1), 8)), fields[1])
            subprocess.run(["umount", "-l", point], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(state):
    unmount_small_disks()
    for pid_file, program in (("nginx.pid", b"nginx"), ("script.pid", b"servers.py")):
        path = os.path.join(state, pid_file)
        try:
            pid = int(open(path).read().strip())
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if program not in cmdline.read():  # a stale number, now another program's
                    raise ValueError(pid)
            os.kill(pid, signal.SIGTERM)
            for _ in range(100):
                if not alive(pid):
                    break
                time.sleep(0.05)
        except (OSError, ValueError):
            pass
        if os.path.exists(path):
            os.remove(path)


def start(state, installer):
    stop(state)
    for sub in ("www", "logs", "tmp"):
        subprocess.run(["rm", "-rf", os.path.join(state, sub)], check=True)
        os.makedirs(os.path.join(state, sub))
    write_files(state, installer)
    make_certificates(state)

    port_file = os.path.join(state, "script.port")
    if os.path.exists(port_file):
        os.remove(port_file)
    log = open(os.path.join(state, "logs", "script-server.log"), "w")
    script = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state, port_file],
                              stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(state, "script.pid"), "w") as out:
        out.write(str(script.pid))

    for attempt in range(5):  # a port taken between the probe and nginx's bind: try others
        ports = {name: free_port() for name in ("http", "https", "untrusted")}
        with open(os.path.join(state, "nginx.conf"), "w") as out:
            out.write(nginx_config(state, ports))
        started = subprocess.run(["nginx", "-c", os.path.join(state, "nginx.conf"), "-p", state,
                                  "-e", os.path.join(state, "logs", "nginx-error.log")])
        if started.returncode == 0:
            break
    else:
        sys.exit("nginx did not start")

    for _ in range(100):
        if os.path.exists(port_file):
            break
        time.sleep(0.05)
    else:
        sys.exit("the scripted server did not start")
    ports["script"], ports["refused"] = (int(port) for port in open(port_file).read().split())
    with open(os.path.join(state, "ports.txt"), "w") as out:
        out.write("".join(f"{name}={port}\n" for name, port in ports.items()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("state")
    parser.add_argument("extra", nargs="?")
    parser.add_argument("--installer")
    args = parser.parse_args()
    state = os.path.abspath(args.state)
    if args.command == "start":
        os.makedirs(state, exist_ok=True)
        start(state, args.installer)
    elif args.command == "stop":
        stop(state)
    else:
        serve(state, args.extra)


if __name__ == "__main__":
    main()
