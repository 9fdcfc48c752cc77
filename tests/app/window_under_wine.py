#!/usr/bin/env python3
"""The Win32 window's tests under Wine, on an X display of their own:

  window_under_wine.py TESTS PROGRAM RUNNER...

Starts Xvfb and the stand-in parse service on the Linux side (a Windows
program under Wine can start a Linux program but cannot stop it), then runs
the test program TESTS with RUNNER (CMake's crosscompiling emulator), telling
it the display, the service's base and PROGRAM (pindlewick.exe) as a Windows
path. Exits with the test program's status.
"""

import os
import subprocess
import sys

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The second part's title would leave the folder: the window shows a message.
SERVICE = [os.path.join(TESTS, "app", "parse_service.py"), "--title", "2", "../outside"]
PROGRAM_TIMEOUT_SECONDS = 300


class Started:
    """A Linux program that writes what the caller waits for on its first line."""

    def __init__(self, command, **options):
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, **options)

    def __enter__(self):
        line = self.process.stdout.readline().strip()
        if not line.isdigit():
            self.__exit__()
            raise RuntimeError("%s did not start" % self.process.args[0])
        return line

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait()
        self.process.stdout.close()


def xvfb():
    """An X server on a free display, which it prints once it takes clients."""
    return Started(["Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                   stderr=subprocess.DEVNULL)


def service():
    return Started([sys.executable, "-B"] + SERVICE)


def windows_path(path):
    """The name a Linux path has under Wine, whose drive Z: is the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    tests, program, runner = sys.argv[1], sys.argv[2], sys.argv[3:]
    with xvfb() as display, service() as port:
        environment = dict(os.environ, DISPLAY=":" + display, LC_ALL="C.UTF-8",
                           PINDLEWICK_TEST_SERVICE="http://127.0.0.1:" + port,
                           PINDLEWICK_TEST_PROGRAM=windows_path(program))
        return subprocess.run(runner + [tests], env=environment, timeout=PROGRAM_TIMEOUT_SECONDS).returncode


if __name__ == "__main__":
    sys.exit(main())
