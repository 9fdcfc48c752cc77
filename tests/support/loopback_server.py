"""What the test servers beside this file share: a threaded server on
127.0.0.1 at a free port, speaking HTTPS when given a certificate, that
prints its port as the first line of its output so its starter can find it.
"""
import socketserver
import ssl


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(handler, tls=None, **attributes):
    """Serves until interrupted. tls is (certificate, key) or None; the
    handler finds it, and every other attribute, on self.server."""
    server = Server(("127.0.0.1", 0), handler)
    server.tls = None
    if tls:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(*tls)
    for name, value in attributes.items():
        setattr(server, name, value)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
