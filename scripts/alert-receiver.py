#!/usr/bin/env python3
"""make run ALERTS=...: a webhook receiver on loopback that prints each alert posted to it.
Prints its URL first (port 0 picks a free one)."""
import http.server
import sys


class Receiver(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = min(int(self.headers.get("Content-Length", "0") or 0), 65536)
        body = self.rfile.read(length).decode("utf-8", "replace")
        print("alert received: " + body, flush=True)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1]) if len(sys.argv) > 1 else 0), Receiver)
print("alert receiver at http://127.0.0.1:%d/alerts" % server.server_address[1], flush=True)
server.serve_forever()
