#!/usr/bin/env python3
"""A raw-response-scripted, recording HTTP(S) server for the HTTP tests, on
127.0.0.1 only.

Every request is recorded exactly as it arrived (request line, header lines,
body bytes) as <dir>/log/<sequence>.req. The answer to a request for /a/b is
the raw content of <dir>/scripts/a_b, sent as it is; when <dir>/scripts/a_b.hang
exists the connection is then held open instead of closed, and an empty
script with a .hang marker never answers at all. One request per connection.

Prints the port it listens on as the first line of its output.
"""
import argparse
import os
import socket
import socketserver
import ssl
import threading

import loopback_server

stop = threading.Event()
sequence_lock = threading.Lock()
sequence = [0]


def read_request(connection):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = connection.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        chunk = connection.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def record(directory, request):
    with sequence_lock:
        sequence[0] += 1
        name = "%06d.req" % sequence[0]
    temporary = os.path.join(directory, "log", name + ".tmp")
    with open(temporary, "wb") as file:
        file.write(request)
    os.rename(temporary, os.path.join(directory, "log", name))


def script_name(request):
    target = request.split(b"\r\n", 1)[0].split(b" ")[1].decode("latin-1")
    if "://" in target:  # absolute form, as a proxy forwards it
        target = "/" + target.split("://", 1)[1].partition("/")[2]
    path = target.split("?", 1)[0].split("#", 1)[0]
    return path.strip("/").replace("/", "_") or "index"


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        connection = self.request
        try:
            if self.server.tls:
                connection = self.server.tls.wrap_socket(connection, server_side=True)
            request = read_request(connection)
            if request is None:
                return
            record(self.server.directory, request)
            script = os.path.join(self.server.directory, "scripts", script_name(request))
            if os.path.exists(script):
                with open(script, "rb") as file:
                    connection.sendall(file.read())
            else:
                connection.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            if os.path.exists(script + ".hang"):
                connection.settimeout(0.2)
                while not stop.is_set():
                    try:
                        if not connection.recv(65536):
                            break
                    except socket.timeout:
                        pass
        except (OSError, ssl.SSLError):
            pass
        finally:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            connection.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    arguments = parser.parse_args()
    os.makedirs(os.path.join(arguments.directory, "log"), exist_ok=True)
    os.makedirs(os.path.join(arguments.directory, "scripts"), exist_ok=True)
    try:
        loopback_server.serve(Handler, arguments.tls, directory=arguments.directory)
    finally:
        stop.set()


if __name__ == "__main__":
    main()
