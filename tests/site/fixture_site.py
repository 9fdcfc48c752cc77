#!/usr/bin/env python3
"""A fixture of the video site for the resolver tests, on 127.0.0.1 only:
its public API, a CDN and short links, answering with the fields and codes
the site is documented to use.

Listens on a free port and prints that port as its first line. Paths:

  /x/web-interface/view?bvid=|aid=   the video's title and parts (-404 for
                                     an unknown video; see VIDEOS for others)
  /x/player/pagelist?bvid=|aid=      the parts alone
  /x/web-interface/nav               code -101 (not logged in) with the keys
  /x/frontend/finger/spi             the buvid3 and buvid4 cookies
  /x/player/wbi/playurl              checks w_rid as the site documents it and
                                     answers a wrong one with a v_voucher;
                                     refuses an old browser with HTTP 412;
                                     what it answers otherwise depends on the
                                     part (see PROBLEMS)
  /cdn/<cid>.mp4, /cdn-backup/<cid>.mp4
                                     the part's bytes (byte i is (cid + i) % 251),
                                     with Range; 403 without a Referer from the
                                     site or without a User-Agent
  /cdn-dead/<cid>.mp4                404
  /s/<code>                          short links, redirecting (see SHORT_LINKS)
  /                                  a page with no video

Options:
  --log FILE     append one JSON line per request (method, path, query,
                 headers with lower-case names) before answering it
  --no-finger    the finger API answers HTTP 500
  --stale-keys   nav names keys other than those the playurl checks against
"""

import argparse
import hashlib
import http.server
import json
import re
import threading
import time
import urllib.parse

IMG_KEY = "653657f524a547ac981ded72ea172057"
SUB_KEY = "6e4909c702f846728e64f6007736a338"
STALE_IMG_KEY = "7cd084941338484aae1ad9425b84077c"
STALE_SUB_KEY = "4932caff0ff746eab6f01bf08b70ac45"
MIXIN_ORDER = [
    46, 47, 18, 2, 53, 8, 23, 32, 15, 50, 10, 31, 58, 3, 45, 35, 27, 43, 5, 49,
    33, 9, 42, 19, 29, 28, 14, 39, 12, 38, 41, 13, 37, 48, 7, 16, 24, 55, 40,
    61, 26, 17, 0, 1, 60, 51, 30, 4, 22, 25, 54, 21, 56, 59, 6, 63, 57, 62, 11,
    36, 20, 34, 44, 52,
]
# How far wts may be from the fixture's clock, in seconds.
WTS_TOLERANCE = 300


def video(bvid, aid, title, part_titles, first_cid):
    pages = [{"cid": first_cid + index, "page": index + 1, "part": part,
              "duration": 60 + index, "vid": "", "weblink": "",
              "dimension": {"width": 1920, "height": 1080, "rotate": 0}}
             for index, part in enumerate(part_titles)]
    return {"bvid": bvid, "aid": aid, "videos": len(pages), "tid": 17, "copyright": 1,
            "pic": "http://i0.hdslb.com/bfs/archive/cover.jpg", "title": title,
            "pubdate": 1700000000, "desc": "", "duration": sum(p["duration"] for p in pages),
            "owner": {"mid": 1, "name": "uploader"}, "cid": first_cid, "pages": pages}


VIDEOS = {
    "BV17x411w7KC": video("BV17x411w7KC", 170001, "十二集合集", [
        "开始", "第二集: 安装/配置?", "第三集 安装", " 🎬 한국어 ภาษาไทย ", "", "第六集...",
        "第七集", "第八集", "第九集", "第十集", "第十一集", "结尾",
    ], 5000),
    "BV1xx411c7mD": video("BV1xx411c7mD", 2, "单个视频：演示<1>", ["正片"], 6000),
    "BV1y7411Q7Eq": video("BV1y7411Q7Eq", 99999999, "问题视频", [
        "正常", "只有DASH", "三段", "503", "坏JSON", "已删除", "风控352", "HTTP412", "拦截412",
        "主链接失效",
    ], 7000),
}
# Videos whose view answer is a failure of its own: (HTTP status, code).
VIEW_FAILURES = {
    "BV1GJ411x7h7": (200, 62012),
    "BV117411r7R1": (412, -412),
}
# Parts of BV1y7411Q7Eq whose playurl answer is not the plain one, by page.
PROBLEMS = {
    2: "dash", 3: "pieces", 4: "status503", 5: "broken", 6: "code-404",
    7: "code-352", 8: "status412", 9: "code-412", 10: "dead-primary",
}
# code -> (status, Location); "c<n>" chains n + 1 redirects to a video page.
SHORT_LINKS = {
    "mx00St": (302, "/s/next"),
    "next": (301, "https://www.bilibili.com/video/BV17x411w7KC?p=1&share_source=copy_web"),
    "av": (302, "https://m.bilibili.com/video/av2/"),
    "home": (302, "/"),
    "loop": (302, "/s/loop"),
}


def requested_bvid(query):
    """The bvid the query names, by bvid or by av number."""
    if "bvid" in query:
        return query["bvid"]
    aid = query.get("aid") or query.get("avid")
    for bvid, entry in VIDEOS.items():
        if str(entry["aid"]) == aid:
            return bvid
    return None


def mixin_key(img_key, sub_key):
    raw = img_key + sub_key
    return "".join(raw[i] for i in MIXIN_ORDER)[:32]


def expected_w_rid(pairs):
    """The documented signature of every parameter but w_rid."""
    signed = sorted((name, value) for name, value in pairs if name != "w_rid")
    query = "&".join(
        urllib.parse.quote(name, safe="-_.~") + "=" +
        urllib.parse.quote(re.sub(r"[!'()*]", "", value), safe="-_.~")
        for name, value in signed)
    return hashlib.md5((query + mixin_key(IMG_KEY, SUB_KEY)).encode()).hexdigest()


def signature_valid(pairs):
    values = dict(pairs)
    try:
        fresh = abs(int(values.get("wts", "")) - time.time()) <= WTS_TOLERANCE
    except ValueError:
        return False
    return fresh and values.get("w_rid") == expected_w_rid(pairs)


def envelope(code, data=None, message=None):
    answer = {"code": code, "message": message if message is not None else str(code), "ttl": 1}
    if data is not None:
        answer["data"] = data
    return answer


def part_bytes(cid, start, end):
    return bytes((cid + i) % 251 for i in range(start, end))


def part_size(cid):
    return 20000 + cid % 1000


def stream_entry(host, cid, primary="cdn"):
    query = "deadline=%d&platform=html5&uipk=5&trid=fixture" % (int(time.time()) + 7200)
    return {"order": 1, "length": 60000, "size": part_size(cid), "ahead": "", "vhead": "",
            "url": "http://%s/%s/%d.mp4?%s" % (host, primary, cid, query),
            "backup_url": ["http://%s/cdn-backup/%d.mp4?%s" % (host, cid, query)]}


def playurl_data(host, cid, quality, problem):
    data = {"from": "local", "result": "suc", "quality": quality, "format": "mp4",
            "timelength": 60000, "accept_format": "mp4", "accept_description": ["1080P", "720P"],
            "accept_quality": [80, 64], "video_codecid": 7, "seek_param": "start",
            "seek_type": "second"}
    if problem == "dash":
        data["dash"] = {"duration": 60, "video": [{"id": 80, "baseUrl": "http://%s/v.m4s" % host}],
                        "audio": [{"id": 30280, "baseUrl": "http://%s/a.m4s" % host}]}
    elif problem == "pieces":
        data["durl"] = [dict(stream_entry(host, cid), order=n) for n in (1, 2, 3)]
    else:
        primary = "cdn-dead" if problem == "dead-primary" else "cdn"
        data["durl"] = [stream_entry(host, cid, primary)]
    return data


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *arguments):
        pass

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)

    def answer(self, with_body):
        self.with_body = with_body
        target = urllib.parse.urlsplit(self.path)
        self.record(target)
        self.pairs = urllib.parse.parse_qsl(target.query, keep_blank_values=True)
        self.query = dict(self.pairs)
        path = target.path
        routes = {
            "/x/web-interface/view": self.view,
            "/x/player/pagelist": self.pagelist,
            "/x/web-interface/nav": self.nav,
            "/x/frontend/finger/spi": self.finger,
            "/x/player/wbi/playurl": self.playurl,
            "/": self.home,
        }
        if path in routes:
            routes[path]()
        elif path.startswith("/s/"):
            self.short_link(path[len("/s/"):])
        elif re.fullmatch(r"/cdn(-backup)?/\d+\.mp4", path):
            self.cdn(int(path.rsplit("/", 1)[1].split(".")[0]))
        else:
            self.send("404 Not Found", b"not found", "text/plain")

    def record(self, target):
        if not self.server.log_path:
            return
        line = json.dumps({"method": self.command, "path": target.path, "query": target.query,
                           "headers": {k.lower(): v for k, v in self.headers.items()}})
        with self.server.log_lock, open(self.server.log_path, "a", encoding="utf-8") as log:
            log.write(line + "\n")

    def send(self, status, body, content_type, fields=()):
        self.send_response_only(int(status.split()[0]), status.split(" ", 1)[1])
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        for name, value in fields:
            self.send_header(name, value)
        self.end_headers()
        if self.with_body:
            self.wfile.write(body)
        self.close_connection = True

    def send_json(self, answer, status="200 OK"):
        # The site escapes "&" in its URLs as \u0026; a JSON reader undoes it.
        text = json.dumps(answer, ensure_ascii=False).replace("&", "\\u0026")
        self.send(status, text.encode("utf-8"), "application/json; charset=utf-8")

    def view(self):
        bvid = requested_bvid(self.query)
        if bvid in VIEW_FAILURES:
            status, code = VIEW_FAILURES[bvid]
            reason = "412 Precondition Failed" if status == 412 else "200 OK"
            self.send_json(envelope(code, message="拒绝"), reason)
        elif bvid in VIDEOS:
            self.send_json(envelope(0, VIDEOS[bvid]))
        else:
            self.send_json(envelope(-404, message="啥都木有"))

    def pagelist(self):
        bvid = requested_bvid(self.query)
        if bvid in VIDEOS:
            self.send_json(envelope(0, VIDEOS[bvid]["pages"]))
        else:
            self.send_json(envelope(-404, message="啥都木有"))

    def nav(self):
        img, sub = (STALE_IMG_KEY, STALE_SUB_KEY) if self.server.stale_keys else (IMG_KEY, SUB_KEY)
        self.send_json(envelope(-101, {
            "isLogin": False,
            "wbi_img": {"img_url": "https://i0.hdslb.com/bfs/wbi/%s.png" % img,
                        "sub_url": "https://i0.hdslb.com/bfs/wbi/%s.png" % sub},
        }, "账号未登录"))

    def finger(self):
        if self.server.no_finger:
            self.send("500 Internal Server Error", b"down", "text/plain")
            return
        self.send_json(envelope(0, {"b_3": "D3F1C1E2-0A0B-4C5D-8E9F-FIXTURE00001infoc",
                                    "b_4": "A1B2C3D4-E5F6-0718-293A-FIXTURE00002-024011-abcdef%3D%3D"},
                                "ok"))

    def playurl(self):
        agent = self.headers.get("User-Agent", "")
        if "Chrome/" not in agent and "Firefox/" not in agent:
            self.send_json(envelope(-412, message="请求被拦截"), "412 Precondition Failed")
            return
        if not signature_valid(self.pairs):
            self.send_json(envelope(0, {"v_voucher": "voucher_fixture-0000"}))
            return
        bvid = requested_bvid(self.query)
        entry = VIDEOS.get(bvid)
        cid = int(self.query.get("cid", "0") or "0")
        page = next((p for p in entry["pages"] if p["cid"] == cid), None) if entry else None
        if page is None:
            self.send_json(envelope(-404, message="啥都木有"))
            return
        problem = PROBLEMS.get(page["page"]) if bvid == "BV1y7411Q7Eq" else None
        if self.query.get("fnval") != "1":
            problem = "dash"
        self.answer_playurl(cid, problem)

    def answer_playurl(self, cid, problem):
        if problem == "status503":
            self.send("503 Service Unavailable", b"busy", "text/plain")
        elif problem == "status412":
            self.send_json(envelope(-412, message="请求被拦截"), "412 Precondition Failed")
        elif problem == "broken":
            self.send("200 OK", b'{"code":0,"data":{"durl":[{"url":', "application/json")
        elif problem and problem.startswith("code"):
            code = int(problem[len("code"):])
            data = {"v_voucher": "voucher_fixture-0352"} if code == -352 else None
            self.send_json(envelope(code, data))
        else:
            quality = min(int(self.query.get("qn", "32") or "32"), 80)
            self.send_json(envelope(0, playurl_data(self.headers.get("Host"), cid, quality, problem)))

    def cdn(self, cid):
        referer = self.headers.get("Referer", "")
        if "bilibili.com" not in referer or not self.headers.get("User-Agent"):
            self.send("403 Forbidden", b"<html>403 Forbidden</html>", "text/html")
            return
        size = part_size(cid)
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", self.headers.get("Range", ""))
        if not match:
            self.send("200 OK", part_bytes(cid, 0, size), "video/mp4", [("Accept-Ranges", "bytes")])
            return
        first, last = match.groups()
        start = int(first) if first else max(size - int(last or 0), 0)
        end = min(int(last) + 1, size) if first and last else size
        if start >= size or start >= end:
            self.send("416 Range Not Satisfiable", b"", "text/plain",
                      [("Content-Range", "bytes */%d" % size)])
            return
        self.send("206 Partial Content", part_bytes(cid, start, end), "video/mp4",
                  [("Content-Range", "bytes %d-%d/%d" % (start, end - 1, size))])

    def short_link(self, code):
        chain = re.fullmatch(r"c(\d+)", code)
        if chain:
            n = int(chain.group(1))
            target = "/s/c%d" % (n - 1) if n > 0 else "https://www.bilibili.com/video/BV1xx411c7mD"
            status, location = 302, target
        elif code in SHORT_LINKS:
            status, location = SHORT_LINKS[code]
        else:
            self.send("404 Not Found", b"no such link", "text/plain")
            return
        reason = {301: "Moved Permanently", 302: "Found"}[status]
        self.send("%d %s" % (status, reason), b"<html>moved</html>", "text/html",
                  [("Location", location)])

    def home(self):
        self.send("200 OK", "<html><body>首页</body></html>".encode("utf-8"), "text/html; charset=utf-8")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log")
    parser.add_argument("--no-finger", action="store_true")
    parser.add_argument("--stale-keys", action="store_true")
    options = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.log_path = options.log
    server.log_lock = threading.Lock()
    server.no_finger = options.no_finger
    server.stale_keys = options.stale_keys
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
