#!/usr/bin/env python3
"""Pictures of the Win32 window under Wine, before, during and after a batch:

  win32_screenshots.py FOLDER SHOTS RUNNER...

Starts Xvfb, a media server and the stand-in parse service on the Linux side,
runs the Windows program SHOTS (tests/app/win32_window_shots.cpp) with RUNNER
in a Wine desktop the size of the screen, so Wine draws the window's frame and
title, and saves the screen at each moment the program names:
4-win32-started.png, 5-win32-downloading.png, 6-win32-finished.png. The
media server sends the first half of the part, then holds it until the
picture of the download is taken.
"""

import http.server
import os
import socketserver
import subprocess
import sys
import tempfile
import threading

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCREEN = "480x330"
MEDIA_BYTES = 4 << 20
PICTURES = {"started": "4-win32-started.png", "downloading": "5-win32-downloading.png",
            "finished": "6-win32-finished.png"}


class HeldMedia(http.server.BaseHTTPRequestHandler):
    """MEDIA_BYTES of zeros; the second half waits for server.go_on."""

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "video/mp4")
        self.send_header("Content-Length", str(MEDIA_BYTES))
        self.end_headers()
        self.wfile.write(bytes(MEDIA_BYTES // 2))
        self.wfile.flush()
        self.server.go_on.wait()
        self.wfile.write(bytes(MEDIA_BYTES - MEDIA_BYTES // 2))

    def log_message(self, *_):
        pass


class MediaServer(socketserver.ThreadingTCPServer):
    daemon_threads = True


def first_line(process):
    line = process.stdout.readline().strip()
    if not line.isdigit():
        raise RuntimeError("%s did not start" % process.args[0])
    return line


def wine(runner, environment, *arguments):
    subprocess.run(runner + list(arguments), env=environment, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    folder, shots, runner = sys.argv[1], sys.argv[2], sys.argv[3:]
    os.makedirs(folder, exist_ok=True)
    media = MediaServer(("127.0.0.1", 0), HeldMedia)
    media.go_on = threading.Event()
    threading.Thread(target=media.serve_forever, daemon=True).start()
    link = "http://127.0.0.1:%d/part1.mp4" % media.server_address[1]
    started = []
    try:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", SCREEN + "x24", "-nolisten", "tcp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        started.append(xvfb)
        display = ":" + first_line(xvfb)
        service = subprocess.Popen([sys.executable, "-B", os.path.join(ROOT, "tests", "app", "parse_service.py"),
                                    "--link", "1", link], stdout=subprocess.PIPE, text=True)
        started.append(service)
        base = "http://127.0.0.1:" + first_line(service)
        environment = dict(os.environ, DISPLAY=display, LC_ALL="C.UTF-8")
        # Every window of this Wine prefix in one desktop window that fills
        # the screen: Wine then draws the frames itself, with no window manager.
        wine(runner, environment, "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Shots", "/f")
        wine(runner, environment, "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Shots",
             "/d", SCREEN, "/f")
        with tempfile.TemporaryDirectory() as scratch:
            saved = os.path.join(scratch, "保存")
            os.mkdir(saved)
            program = subprocess.Popen(runner + [shots, base, "Z:" + saved.replace("/", "\\")], env=environment,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            started.append(program)
            for moment in program.stdout:
                picture = os.path.join(folder, PICTURES[moment.strip()])
                subprocess.run(["import", "-display", display, "-window", "root", picture], check=True)
                print(picture)
                if moment.strip() == "downloading":
                    media.go_on.set()
                program.stdin.write("taken\n")
                program.stdin.flush()
            return program.wait()
    finally:
        media.go_on.set()
        for process in reversed(started):
            process.terminate()
            process.wait()
        media.shutdown()


if __name__ == "__main__":
    sys.exit(main())
