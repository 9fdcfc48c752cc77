#!/usr/bin/env python3
"""The Windows command line under Wine, end to end, against a server this
script starts on the Linux side (a Windows program under Wine can start a
Linux program but cannot stop it):

  cli_under_wine.py service|site|reserved PROGRAM RUNNER...

service: a range of three parts from the stand-in parse service, one of which
fails; site: three parts from the fixture site; reserved: two parts from the
service, one whose title holds characters Windows reserves in names and one
that code page 936 cannot hold (it becomes "?"), one whose title is a name
Windows keeps for a device: the one case whose file names are not the Linux
ones, since Windows stores such names in another form.
RUNNER is the command that runs a Windows program (CMake's crosscompiling
emulator). Each run saves into a folder whose name code page 936 cannot hold,
so it must reach the program as a wide argument. The run passes when stdout
and stderr (bytes, UTF-8 with "\\n" line ends), the exit status, and the
names and bytes of the files are those the Linux command line gives for the
same run; otherwise it prints what differs and exits 1.
"""

import os
import subprocess
import sys
import tempfile

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDER = "保存 søren 동영상 🎬"
PROGRAM_TIMEOUT_SECONDS = 120


# What the parse service serves for any part: byte i is i % 251.
SERVICE_MEDIA = bytes(i % 251 for i in range(50000))


# What the fixture site serves for a part: byte i is (cid + i) % 251.
def site_bytes(cid):
    return bytes((cid + i) % 251 for i in range(20000 + cid % 1000))


# The server's command, the program's arguments before the folder, and what
# the run gives on Linux.
CASES = {
    "service": {
        "server": [os.path.join(TESTS, "app", "parse_service.py"), "--empty", "2",
                   "--utf8", "3", "--title", "3", "誠 第3集"],
        "base_option": "--service",
        "arguments": ["https://www.example.com/video/BV1xx", "1", "3"],
        "stdout": "开始解析1P。\n解析1P完成，正在下载。\n开始解析2P。\n2P解析失败。\n"
                  "开始解析3P。\n解析3P完成，正在下载。\n任务完成。\n",
        "stderr": "汇总：下载 2，失败 1（2P），已完整 0\n",
        "exit": 1,
        # 誠 is D5 5C in code page 936: its second byte is a backslash.
        "files": {"第1集 教程.mp4": SERVICE_MEDIA, "誠 第3集.mp4": SERVICE_MEDIA},
    },
    "site": {
        "server": [os.path.join(TESTS, "site", "fixture_site.py")],
        "base_option": "--site",
        "arguments": ["https://www.bilibili.com/video/BV17x411w7KC/?p=5", "1", "3"],
        "stdout": "开始解析1P。\n解析1P完成，正在下载。\n开始解析2P。\n解析2P完成，正在下载。\n"
                  "开始解析3P。\n解析3P完成，正在下载。\n任务完成。\n",
        "stderr": "汇总：下载 3，失败 0，已完整 0\n",
        "exit": 0,
        "files": {"P01 开始.mp4": site_bytes(5000),
                  "P02 第二集： 安装／配置？.mp4": site_bytes(5001),
                  "P03 第三集 安装.mp4": site_bytes(5002)},
    },
    "reserved": {
        "server": [os.path.join(TESTS, "app", "parse_service.py"), "--utf8", "1",
                   "--title", "1", "问答: 为什么 🎬", "--title", "2", "con"],
        "base_option": "--service",
        "arguments": ["https://www.example.com/video/BV1xx", "1", "2"],
        "stdout": "开始解析1P。\n解析1P完成，正在下载。\n开始解析2P。\n解析2P完成，正在下载。\n任务完成。\n",
        "stderr": "汇总：下载 2，失败 0，已完整 0\n",
        "exit": 0,
        # On Linux: "问答: 为什么 ?.mp4" and "con.mp4".
        "files": {"问答： 为什么 ？.mp4": SERVICE_MEDIA, "_con.mp4": SERVICE_MEDIA},
    },
}


class Server:
    """A fixture server on 127.0.0.1 that prints its port on its first line."""

    def __init__(self, command):
        self.process = subprocess.Popen([sys.executable, "-B"] + command,
                                        stdout=subprocess.PIPE, text=True)

    def __enter__(self):
        port = self.process.stdout.readline().strip()
        if not port.isdigit():
            self.__exit__()
            raise RuntimeError("the server did not start")
        return "http://127.0.0.1:" + port

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait()
        self.process.stdout.close()


def windows_path(path):
    """The name a Linux path has under Wine, whose drive Z: is the root."""
    return "Z:" + path.replace("/", "\\")


def files_in(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as file:
            files[name] = file.read()
    return files


def differences(case, result, files):
    found = []
    for what, expected, actual in (
            ("stdout", case["stdout"], result.stdout.decode("utf-8", "backslashreplace")),
            ("stderr", case["stderr"], result.stderr.decode("utf-8", "backslashreplace")),
            ("exit status", case["exit"], result.returncode)):
        if actual != expected:
            found.append("%s: expected %r, got %r" % (what, expected, actual))
    if sorted(files) != sorted(case["files"]):
        found.append("files: expected %s, got %s" % (sorted(case["files"]), sorted(files)))
    for name, expected in case["files"].items():
        if name in files and files[name] != expected:
            found.append("%s: %d bytes, not the %d expected ones" % (name, len(files[name]), len(expected)))
    return found


def main():
    mode, program, runner = sys.argv[1], sys.argv[2], sys.argv[3:]
    case = CASES[mode]
    # Wine gives Windows names to Linux in the locale's encoding.
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    with tempfile.TemporaryDirectory() as scratch, Server(case["server"]) as base:
        folder = os.path.join(scratch, FOLDER)
        os.mkdir(folder)
        command = runner + [program, case["base_option"], base] + case["arguments"] + [
            windows_path(folder) + "\\"]
        result = subprocess.run(command, capture_output=True, env=environment, cwd=scratch,
                                timeout=PROGRAM_TIMEOUT_SECONDS)
        found = differences(case, result, files_in(folder))
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
