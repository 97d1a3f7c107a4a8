#!/usr/bin/env python3
"""Loopback web server for a game web site folder made by make_site.py.

Serves the files below ROOT by their URL path (GET and HEAD), 404 for
anything else, and appends every request line to LOG when one is given.
Writes its process id to READY once it accepts connections.
"""
import argparse
import http.server
import os
import posixpath
import signal
import socketserver
import sys
import threading
import urllib.parse


class SiteHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    log_path = None
    lock = threading.Lock()

    def _file_for(self, target):
        path = urllib.parse.urlsplit(target).path
        path = posixpath.normpath(urllib.parse.unquote(path))
        parts = [p for p in path.split("/") if p not in ("", ".")]
        if any(p == ".." for p in parts):
            return None
        full = os.path.join(self.root, *parts)
        return full if os.path.isfile(full) else None

    def _answer(self, with_body):
        if self.log_path:
            with self.lock, open(self.log_path, "a", encoding="utf-8") as log:
                log.write("%s %s %s\n" % (self.command, self.path,
                                          self.headers.get("User-Agent", "")))
        full = self._file_for(self.path)
        if full is None:
            body = b"not found"
            self.send_response(404)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            if with_body:
                self.wfile.write(body)
            return
        size = os.path.getsize(full)
        kind = "application/octet-stream"
        if full.endswith((".php", ".html")):
            kind = "text/html; charset=utf-8"
        elif full.endswith(".png"):
            kind = "image/png"
        elif full.endswith(".json"):
            kind = "application/json"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(size))
        self.send_header("Connection", "close")
        self.end_headers()
        if with_body:
            with open(full, "rb") as source:
                while True:
                    chunk = source.read(256 * 1024)
                    if not chunk:
                        break
                    self.wfile.write(chunk)

    def do_GET(self):
        self._answer(True)

    def do_HEAD(self):
        self._answer(False)

    def log_message(self, fmt, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--port", type=int, default=48213)
    parser.add_argument("--log")
    parser.add_argument("--ready")
    args = parser.parse_args()
    SiteHandler.root = os.path.abspath(args.root)
    SiteHandler.log_path = args.log
    server = Server(("127.0.0.1", args.port), SiteHandler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if args.ready:
        with open(args.ready, "w") as ready:
            ready.write("%d\n" % os.getpid())
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
