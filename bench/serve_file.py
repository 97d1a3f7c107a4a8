#!/usr/bin/env python3
"""Serves one file over HTTP/1.1 on 127.0.0.1 with sendfile, for benchmarks.

usage: serve_file.py FILE PORTFILE
Any GET answers with the file's bytes and its Content-Length. The chosen port
is written to PORTFILE once the server listens.
"""
import http.server
import os
import socketserver
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        path = self.server.body_path
        size = os.path.getsize(path)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.send_header("Connection", "close")
        self.end_headers()
        with open(path, "rb") as body:
            self.connection.sendfile(body)
        self.close_connection = True

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    server.body_path = sys.argv[1]
    with open(sys.argv[2] + ".tmp", "w") as port_file:
        port_file.write(str(server.server_address[1]))
    os.replace(sys.argv[2] + ".tmp", sys.argv[2])
    server.serve_forever()


if __name__ == "__main__":
    main()
