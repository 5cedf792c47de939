#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 for the element-update tests.

element_server.py FOLDER LOG serves the files of FOLDER and prints "PORT n" once it listens.
Every request is appended to LOG as "PATH STATUS If-None-Match|If-Modified-Since".

  /NAME            the file, with an ETag and Last-Modified; 304 when the request's validators match
  /html/ANY        200 with an HTML page (a captive portal or an error page)
  /truncated/NAME  the file's headers with its whole Content-Length, half the body, then the
                   connection closed
  /hold/ANY        accepted and never answered
  anything else    404
"""
import email.utils
import hashlib
import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FOLDER, LOG = sys.argv[1], sys.argv[2]
STOP = threading.Event()
LOG_LOCK = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def note(self, status):
        inm = self.headers.get("If-None-Match", "")
        ims = self.headers.get("If-Modified-Since", "")
        with LOG_LOCK, open(LOG, "a") as log:
            log.write(f"{self.path} {status} {inm}|{ims}\n")

    # Each request is logged before its answer goes out: a client that has its answer may read
    # the log at once.
    def send_body(self, status, body, content_type, extra=()):
        self.note(status)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path.startswith("/hold/"):
            self.note("held")
            STOP.wait()
            return
        if path.startswith("/html/"):
            page = b"<!DOCTYPE html>\n<html><head><title>Sign in</title></head><body>Sign in to the network</body></html>\n"
            self.send_body(200, page, "text/html; charset=utf-8")
            return
        truncated = path.startswith("/truncated/")
        name = path[len("/truncated/"):] if truncated else path[1:]
        file = os.path.join(FOLDER, name)
        if "/" in name or not name or not os.path.isfile(file):
            self.send_body(404, b"<html><body>Not Found</body></html>\n", "text/html")
            return
        with open(file, "rb") as f:
            body = f.read()
        etag = '"' + hashlib.sha1(body).hexdigest()[:16] + '"'
        mtime = int(os.path.getmtime(file))
        last_modified = email.utils.formatdate(mtime, usegmt=True)
        if truncated:
            self.note("cut")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        inm = self.headers.get("If-None-Match")
        ims = self.headers.get("If-Modified-Since")
        unchanged = False
        if inm is not None:
            unchanged = inm == etag
        elif ims is not None:
            since = email.utils.parsedate_to_datetime(ims).timestamp()
            unchanged = mtime <= since
        if unchanged:
            self.note(304)
            self.send_response(304)
            self.send_header("ETag", etag)
            self.send_header("Last-Modified", last_modified)
            self.end_headers()
            return
        self.send_body(200, body, "text/plain", [("ETag", etag), ("Last-Modified", last_modified)])


class Server(ThreadingHTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(f"PORT {server.server_address[1]}", flush=True)
try:
    server.serve_forever()
finally:
    STOP.set()
