#!/usr/bin/env python3
"""A small HTTP server for tests.

Serves the files of a folder on 127.0.0.1 at a port of its own choosing,
which it prints on the first line of its output. The first part of a path
can ask it to misbehave: /cut/F announces F's length but sends half and
closes, /nolength/F sends no Content-Length, /slow/F sends 4096 bytes every
0.2 s, /steady/F 64 KiB every 0.1 s, /stall/F sends the headers and then nothing,
/endless/F sends F again and again without a Content-Length (until the client
leaves, 256 MiB or 30 s), /redirect/F answers 302 with F's own path as the
Location. A file F.mode beside F
holding one of those words makes F alone misbehave that way. With a
certificate and a key it speaks https. Runs until it is killed.
"""
import http.server
import os
import socketserver
import ssl
import sys
import time

ROOT = os.path.realpath(sys.argv[1])
MODES = ("cut", "nolength", "slow", "steady", "stall", "endless", "redirect")
ENDLESS_BYTES = 256 << 20
ENDLESS_SECONDS = 30


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        mode, _, rest = self.path.lstrip("/").partition("/")
        if mode not in MODES:
            mode, rest = "", self.path.lstrip("/")
        path = os.path.realpath(os.path.join(ROOT, rest))
        if not path.startswith(ROOT + os.sep) or not os.path.isfile(path):
            self.send_error(404)
            return
        if not mode and os.path.isfile(path + ".mode"):
            with open(path + ".mode") as f:
                mode = f.read().strip()
        if mode == "redirect":
            self.send_response(302)
            self.send_header("Location", "/" + rest)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode not in ("nolength", "endless"):
            self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        if mode == "cut":
            data = data[: len(data) // 2]
        elif mode == "stall":
            self.wfile.flush()
            time.sleep(3600)
            return
        elif mode == "endless":
            sent, started = 0, time.monotonic()
            chunk = data or b"x"
            try:
                while sent < ENDLESS_BYTES and time.monotonic() - started < ENDLESS_SECONDS:
                    self.wfile.write(chunk)
                    sent += len(chunk)
            except OSError:
                pass
            return
        elif mode in ("slow", "steady"):
            step = 4096 if mode == "slow" else 65536
            for i in range(0, len(data), step):
                self.wfile.write(data[i : i + step])
                self.wfile.flush()
                time.sleep(0.2 if mode == "slow" else 0.1)
            return
        self.wfile.write(data)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
if len(sys.argv) > 3:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
