#!/usr/bin/env python3
"""A path-scripted HTTP(S) server for the download tests.

Listens on 127.0.0.1 on a free port and prints that port on its first line.
Every connection carries one request; the path chooses the answer:

  /echo                  the request head, byte for byte, as the body
  /bytes?size=N          N bytes of the test pattern (byte i is i % 251), with
         &mode=length    ... a Content-Length (the default)
         &mode=close     ... no length: the body ends when the connection closes
         &mode=chunked   ... chunked, in chunks of uneven sizes
         &cut=M          only the first M bytes of the body, then the end
                         (chunked: without the closing chunk)
         &stall=1        ... and instead of ending, silence
         &encoding=E     labelled with Content-Encoding E (the bytes stay as they are)
  /missing               404 with a small HTML page
  /redirect?to=URL       302 to URL
  /status?code=N         status N with a small page and no Location
         &location=L     ... with a Location line of L (which may be blank)
         &range=R        ... with a Content-Range line of R
  /silent                reads the request, never answers
  /endless               test-pattern bytes without a length and without end,
                         until the client goes away

A path may end in an extension (/bytes.mp4), as media links do; it changes
nothing.

With --tls CERT KEY it speaks HTTPS instead.
"""

import os.path
import socketserver
import ssl
import sys
import time
import urllib.parse

import loopback_server

STALL_SECONDS = 30
CHUNK_SIZES = (1, 7000, 30000, 333)


def pattern(size):
    return bytes(i % 251 for i in range(size))


# Whole periods of the pattern, so that piece after piece continues it.
ENDLESS_PIECE = pattern(251 * 256)


def chunked(body):
    out = bytearray()
    position, turn = 0, 0
    while position < len(body):
        piece = body[position:position + CHUNK_SIZES[turn % len(CHUNK_SIZES)]]
        out += b"%x\r\n" % len(piece) + piece + b"\r\n"
        position += len(piece)
        turn += 1
    return bytes(out)


def head(status, fields):
    lines = ["HTTP/1.1 " + status] + ["%s: %s" % field for field in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def bytes_answer(query):
    size = int(query.get("size", "0"))
    mode = query.get("mode", "length")
    cut = "cut" in query
    body = pattern(min(size, int(query.get("cut", size))))
    fields = [("Content-Type", "application/octet-stream"), ("Connection", "close")]
    if "encoding" in query:
        fields.append(("Content-Encoding", query["encoding"]))
    if mode == "length":
        fields.append(("Content-Length", str(size)))
    elif mode == "chunked":
        fields.append(("Transfer-Encoding", "chunked"))
        # A cut chunked body lacks its closing chunk.
        body = chunked(body) + (b"" if cut else b"0\r\n\r\n")
    return head("200 OK", fields) + body, "stall" if query.get("stall") == "1" else "close"


def answer(request_head):
    """The response, and what follows it: "close", "stall" or "endless"."""
    target = request_head.split(b" ", 2)[1].decode("latin-1")
    parts = urllib.parse.urlsplit(target)
    query = dict(urllib.parse.parse_qsl(parts.query, keep_blank_values=True))
    path = os.path.splitext(parts.path)[0]
    if path == "/echo":
        fields = [("Content-Length", str(len(request_head))), ("Connection", "close")]
        return head("200 OK", fields) + request_head, "close"
    if path == "/bytes":
        return bytes_answer(query)
    if path == "/redirect":
        fields = [("Location", query["to"]), ("Content-Length", "5"), ("Connection", "close")]
        return head("302 Found", fields) + b"moved", "close"
    if path == "/status":
        page = b"<html><body>status page</body></html>"
        fields = [("Content-Type", "text/html"), ("Content-Length", str(len(page))),
                  ("Connection", "close")]
        if "location" in query:
            fields.append(("Location", query["location"]))
        if "range" in query:
            fields.append(("Content-Range", query["range"]))
        return head(query["code"] + " Status", fields) + page, "close"
    if path == "/silent":
        return b"", "stall"
    if path == "/endless":
        return head("200 OK", [("Connection", "close")]), "endless"
    page = b"<html><body><h1>404 Not Found</h1></body></html>"
    fields = [("Content-Type", "text/html"), ("Content-Length", str(len(page))),
              ("Connection", "close")]
    return head("404 Not Found", fields) + page, "close"


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        connection = self.request
        if self.server.tls is not None:
            try:
                connection = self.server.tls.wrap_socket(connection, server_side=True)
            except (ssl.SSLError, OSError):
                return  # the client refused our certificate
        received = b""
        while b"\r\n\r\n" not in received:
            data = connection.recv(65536)
            if not data:
                return
            received += data
        request_head = received[:received.index(b"\r\n\r\n") + 4]
        response, then = answer(request_head)
        try:
            connection.sendall(response)
            if then == "stall":
                time.sleep(STALL_SECONDS)
            while then == "endless":
                connection.sendall(ENDLESS_PIECE)
        except (ssl.SSLError, OSError):
            pass
        connection.close()


def main():
    tls = sys.argv[2:4] if len(sys.argv) == 4 and sys.argv[1] == "--tls" else None
    loopback_server.serve(Handler, tls)


if __name__ == "__main__":
    main()
