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
  --no-markers N    answer part N with a page that lacks the markers
  --title N TITLE   give part N this title (UTF-8 on the command line)
  --utf8 N          send part N's page in UTF-8, declared in a meta tag
"""

import argparse
import http.server
import socketserver
import sys
import urllib.parse

MEDIA_SIZE = 50000


def page_for(part, port, title, utf8):
    link = "http://127.0.0.1:%d/media/part%s.mp4?sig=a.b" % (port, part)
    charset = "utf-8" if utf8 else "gbk"
    html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=%s">'
            "</head><body><select><option>格式 FLV</option><option>格式 MP4 高清</option>"
            '<option value="%s">高清</option></select>'
            '<label>标题</label><input value="%s" /><label>描述</label><input value="d" />'
            "</body></html>" % (charset, link, title))
    return html.encode(charset)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    received = []

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="text/html"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path == "/requests":
            self.answer(200, "\n".join(Handler.received).encode(), "text/plain")
        elif self.path.startswith("/media/"):
            self.answer(200, bytes(i % 251 for i in range(MEDIA_SIZE)), "video/mp4")
        else:
            self.answer(404, b"<html>not here</html>")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode("ascii")
        Handler.received.append(body)
        form = urllib.parse.parse_qs(body)
        part = form["bilibiliurl"][0].rsplit("?p=", 1)[-1]
        options = self.server.options
        if part in options.empty:
            self.answer(200, b"")
        elif part in options.no_markers:
            self.answer(200, "<html>维护中</html>".encode("gbk"))
        else:
            title = dict(options.title).get(part, "第%s集 教程" % part)
            self.answer(200, page_for(part, self.server.server_address[1], title,
                                      part in options.utf8))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--empty", action="append", default=[])
    parser.add_argument("--no-markers", action="append", default=[])
    parser.add_argument("--title", action="append", nargs=2, default=[])
    parser.add_argument("--utf8", action="append", default=[])
    server = Server(("127.0.0.1", 0), Handler)
    server.options = parser.parse_args()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
