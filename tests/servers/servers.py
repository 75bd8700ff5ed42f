#!/usr/bin/env python3
"""Download servers of the engine tests, all on free loopback ports.

    servers.py start STATE --installer FAKE_INSTALLER.exe
    servers.py stop STATE

`start` fills STATE/www with the served installers, makes the TLS certificates with
openssl, writes an nginx configuration and starts nginx and the scripted server
(this file, `serve`), then writes STATE/ports.txt and STATE/manifest.txt for the
tests. `stop` ends exactly the two processes that `start` recorded.

nginx (a real server, as users meet one), logging to STATE/logs/nginx-access.log:
  http      plain HTTP of the tree; /t/<token>/<object> is <object>, so that a test can
            find its own requests in the log; /norange/<token>/<object> is the same
            with byte ranges switched off
  https     the same over TLS, with a certificate of the tests' own authority
            (STATE/ca.der), which the tests trust only while they need it;
            /to-http/<token>/<object> redirects to /t/<token>/<object> on plain HTTP
  untrusted TLS with a self-signed certificate nobody trusts

Scripted server (what nginx cannot do), address /<mode>/<token>/<object>, where the
token keeps one test's requests apart from another's; every request is appended to
STATE/logs/<token>.txt as "<method> <Range value or ->", and the hold and cut modes
add lines of their own:
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
"""
import argparse
import hashlib
import os
import random
import re
import signal
import socket
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

INSTALLER_NAME = "TalvenorSetup"
PARALLEL_PARTS = 40
HOLD_SECONDS = 30
CUT_AFTER = 10007


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


PATH = re.compile(r"^/(\w+)/(\w+)/(.+)$")
RANGE = re.compile(r"^bytes=(\d+)-(\d+)$")


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
        data = open(path, "rb").read()
        range_text = self.headers.get("Range")
        server.log(token, f"{self.command} {range_text or '-'}")
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
            return self.simple(200, data, head)
        if mode == "range404":
            return self.simple(404, b"<html><body><h1>404 Not Found</h1>" + b"x" * 500 + b"</body></html>", head)
        found = RANGE.match(range_text)
        if not found:
            return self.simple(416, b"", head)
        first, last = int(found.group(1)), min(int(found.group(2)), len(data) - 1)
        if first > last:
            return self.simple(416, b"", head)
        body = data[first:last + 1]
        headers = {"Content-Range": f"bytes {first}-{last}/{len(data)}"}
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
        self.simple(206, body, head, headers)

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

    def simple(self, status, body, head, headers=None):
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
    with open(port_file + ".tmp", "w") as out:
        out.write(str(server.server_address[1]))
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


def stop(state):
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
    ports["script"] = int(open(port_file).read())
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
