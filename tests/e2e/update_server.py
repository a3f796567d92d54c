#!/usr/bin/env python3
"""The update server of the end-to-end runs, on loopback.

   update_server.py FOLDER PORT_FILE

Serves the files of FOLDER; writes the port it listens on to PORT_FILE and
each request's path, one per line, to FOLDER/../requests.txt. A path under
/cut/ announces the whole file, sends the first half and hangs up: a server
gone mid-download. Anything missing is a 404."""
import http.server
import os
import sys

folder, port_file = sys.argv[1], sys.argv[2]
requests_log = os.path.join(os.path.dirname(os.path.abspath(folder)), "requests.txt")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        with open(requests_log, "a", encoding="utf-8") as log:
            log.write(self.path + "\n")
        cut = self.path.startswith("/cut/")
        name = self.path[len("/cut/"):] if cut else self.path.lstrip("/")
        path = os.path.join(folder, os.path.basename(name))
        if not name or not os.path.isfile(path):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            return
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body[: len(body) // 2] if cut else body)
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".tmp", port_file)
server.serve_forever()
