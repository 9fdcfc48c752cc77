#!/usr/bin/env python3
"""Linux processes and ports for a Windows test program under Wine, which can
start a Linux program but cannot wait for it or stop it:

  process_broker.py PORT

The test program starts it and listens on 127.0.0.1:PORT; the broker
connects there and serves the requests that arrive, one line each, fields
separated by tabs (arguments hold no tab or line break), with one line back,
"ok" or "error" followed by tab-separated fields:

  start ARGV...    starts a process with its output on a pipe  -> ok ID
  line ID          its next line of output, "" at its end      -> ok TEXT
  stop ID          terminates it and waits for its end          -> ok
  run ARGV...      runs a command to its end, output silenced   -> ok STATUS
  reserve          a port on 127.0.0.1, held by a bound socket  -> ok PORT
                   that never listens (as ReservedPort in C++)
  release PORT     lets the port go                             -> ok

When the connection closes, as it does when the test program ends or
crashes, the broker stops what it started, lets the ports go and ends.
"""

import socket
import subprocess
import sys


class Session:
    """The processes and ports of the connection."""

    def __init__(self):
        self.processes = {}
        self.ports = {}
        self.next_id = 1

    def start(self, *argv):
        process = subprocess.Popen(argv, stdout=subprocess.PIPE)
        self.processes[self.next_id] = process
        self.next_id += 1
        return [str(self.next_id - 1)]

    def line(self, process_id):
        text = self.processes[int(process_id)].stdout.readline()
        return [text.rstrip(b"\n").decode("utf-8", "surrogateescape")]

    def stop(self, process_id):
        process = self.processes.pop(int(process_id))
        process.terminate()
        process.wait()
        process.stdout.close()
        return []

    def run(self, *argv):
        status = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        return [str(status)]

    def reserve(self):
        held = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        held.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        held.bind(("127.0.0.1", 0))
        port = held.getsockname()[1]
        self.ports[port] = held
        return [str(port)]

    def release(self, port):
        self.ports.pop(int(port)).close()
        return []

    def close(self):
        for process_id in list(self.processes):
            self.stop(process_id)
        for port in list(self.ports):
            self.release(port)


REQUESTS = {"start": Session.start, "line": Session.line, "stop": Session.stop,
            "run": Session.run, "reserve": Session.reserve, "release": Session.release}


def serve(connection):
    session = Session()
    try:
        for request in connection.makefile("rb"):
            name, *fields = request.rstrip(b"\n").decode("utf-8", "surrogateescape").split("\t")
            try:
                reply = ["ok"] + REQUESTS[name](session, *fields)
            except Exception as error:  # the test program hears of every failure
                reply = ["error", "%s: %s" % (name, error)]
            connection.sendall("\t".join(reply).encode("utf-8", "surrogateescape") + b"\n")
    finally:
        session.close()


def main():
    with socket.create_connection(("127.0.0.1", int(sys.argv[1]))) as connection:
        serve(connection)


if __name__ == "__main__":
    main()
