#!/usr/bin/env python3
"""A stand-in parse service and media host for the pipeline tests.

Listens on 127.0.0.1 on a free port and prints that port on its first line.

  POST /api/bilibili/   form bilibiliurl=<page address>&zengqiang=true; the
                        part number is the address's last "?p=" value. The
                        answer is a GBK page holding the media link and title
                        of that part, unless an option below says otherwise.
  GET  /media/NAME      MEDIA_SIZE bytes (byte i is i % 251)
  GET  /requests        every form body received so far, one per line

Options, each taking a part number:
  --empty N         answer part N with an empty body
  --fail N          answer part N with status 500 and an empty body
  --fail-times N K  answer part N with status 500 the first K times only
  --cut N           send the first half of part N's page, then close
  --no-markers N    answer part N with a page that lacks the markers
  --title N TITLE   give part N this title (UTF-8 on the command line)
  --link N URL      give part N this media link instead of one of ours
  --utf8 N          send part N's page in UTF-8, declared in a meta tag
  --invalid N       as --utf8, with invalid UTF-8 sequences in the page and
                    its title (the markers themselves intact)
  --huge N          answer part N with a whole page followed by 20 MiB of
                    padding, without a length, until the connection closes
With --tls CERT KEY it speaks HTTPS, and its own media links do too.
"""

import argparse
import http.server
import os
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import loopback_server  # noqa: E402

MEDIA_SIZE = 50000
HUGE_PADDING_MIB = 20
# Lone surrogates become these raw bytes when encoded with "surrogateescape":
# a stray continuation byte, an overlong "/", a byte UTF-8 never uses, and a
# sequence cut short.
INVALID_UTF8 = "\udc80\udcc0\udcaf\udcff\udce4\udcb8"


def page_for(part, link, title, charset, invalid):
    junk = INVALID_UTF8 if invalid else ""
    html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=%s">'
            "</head><body>%s<select><option>格式 FLV</option><option>格式 MP4 高清</option>"
            '<option value="%s">高清</option></select>'
            '<label>标题</label><input value="%s%s" /><label>描述</label><input value="d%s" />'
            "</body></html>%s" % (charset, junk, link, title, junk, junk, junk))
    return html.encode(charset, "surrogateescape")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    received = []

    def setup(self):
        if self.server.tls:
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="text/html", sent=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:sent])
        if sent is not None:
            self.close_connection = True

    def do_GET(self):
        if self.path == "/requests":
            self.answer(200, "\n".join(Handler.received).encode(), "text/plain")
        elif self.path.startswith("/media/"):
            self.answer(200, bytes(i % 251 for i in range(MEDIA_SIZE)), "video/mp4")
        else:
            self.answer(404, b"<html>not here</html>")

    def fails_this_time(self, part):
        left = self.server.failures_left
        if left.get(part, 0) == 0:
            return False
        left[part] -= 1
        return True

    def send_huge(self, page):
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        padding = b" " * (1 << 20)
        try:
            self.wfile.write(page)
            for _ in range(HUGE_PADDING_MIB):
                self.wfile.write(padding)
        except OSError:
            pass  # the client stopped reading

    def own_link(self, part):
        scheme = "https" if self.server.tls else "http"
        return "%s://127.0.0.1:%d/media/part%s.mp4?sig=a.b" % (
            scheme, self.server.server_address[1], part)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode("ascii")
        Handler.received.append(body)
        form = urllib.parse.parse_qs(body)
        part = form["bilibiliurl"][0].rsplit("?p=", 1)[-1]
        options = self.server.options
        if part in options.empty:
            self.answer(200, b"")
        elif part in options.fail or self.fails_this_time(part):
            self.answer(500, b"")
        elif part in options.huge:
            self.send_huge(page_for(part, self.own_link(part), "第%s集 教程" % part, "gbk", False))
        elif part in options.no_markers:
            self.answer(200, "<html>维护中</html>".encode("gbk"))
        else:
            title = dict(options.title).get(part, "第%s集 教程" % part)
            link = dict(options.link).get(part) or self.own_link(part)
            invalid = part in options.invalid
            charset = "utf-8" if invalid or part in options.utf8 else "gbk"
            page = page_for(part, link, title, charset, invalid)
            self.answer(200, page, sent=len(page) // 2 if part in options.cut else None)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--empty", "--fail", "--cut", "--no-markers", "--utf8", "--invalid", "--huge"):
        parser.add_argument(option, action="append", default=[])
    for option in ("--title", "--link", "--fail-times"):
        parser.add_argument(option, action="append", nargs=2, default=[])
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    options = parser.parse_args()
    failures_left = {part: int(times) for part, times in options.fail_times}
    loopback_server.serve(Handler, options.tls, options=options, failures_left=failures_left)


if __name__ == "__main__":
    sys.exit(main())
