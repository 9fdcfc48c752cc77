#!/usr/bin/env python3
"""Linux processes and ports for a Windows test program under Wine, which can
start a Linux program but cannot wait for it or stop it:

  process_broker.py RUNNER... PROGRAM [ARGUMENTS...]

Listens on 127.0.0.1 at a free port, runs the rest of its command line (the
runner that starts the Windows program, and that program) with the port in
PINDLEWICK_TEST_BROKER, and exits with that command's status.

The test program connects and sends requests, one line each, fields
separated by tabs (arguments hold no tab or line break), and gets one line
back, "ok" or "error" followed by tab-separated fields:

  start ARGV...    starts a process with its output on a pipe  -> ok ID
  line ID          its next line of output, "" at its end      -> ok TEXT
  stop ID          terminates it and waits for its end          -> ok
  run ARGV...      runs a command to its end, output silenced   -> ok STATUS
  reserve          a port on 127.0.0.1, held by a bound socket  -> ok PORT
                   that never listens (as ReservedPort in C++)
  release PORT     lets the port go                             -> ok

Whatever a connection started or reserved goes with it when it closes, so a
test program that crashes leaves nothing behind.
"""

import os
import socket
import socketserver
import subprocess
import sys
import threading


class Session:
    """The processes and ports of one connection."""

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


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        session = Session()
        try:
            for request in self.rfile:
                name, *fields = request.rstrip(b"\n").decode("utf-8", "surrogateescape").split("\t")
                try:
                    reply = ["ok"] + REQUESTS[name](session, *fields)
                except Exception as error:  # the test program hears of every failure
                    reply = ["error", "%s: %s" % (name, error)]
                self.wfile.write("\t".join(reply).encode("utf-8", "surrogateescape") + b"\n")
        finally:
            session.close()


class Server(socketserver.ThreadingTCPServer):
    # Closing the server waits for every connection's cleanup.
    daemon_threads = False
    block_on_close = True


def main():
    command = sys.argv[1:]
    with Server(("127.0.0.1", 0), Handler) as server:
        # A short poll, so that shutting down after the command costs little.
        threading.Thread(target=server.serve_forever, args=(0.02,), daemon=True).start()
        environment = dict(os.environ, PINDLEWICK_TEST_BROKER=str(server.server_address[1]))
        status = subprocess.run(command, env=environment).returncode
        server.shutdown()
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main())
