"""A loopback HTTP server for the Wine tests' scripts: listens on a port of its
own (port 0), reads each request whole and answers it with an XML body that the
caller makes from the request, on a connection that closes after it."""
import os
import socket
import ssl
import threading


def listen(respond, context=None):
    """Serves on a daemon thread until the returned listener is closed.
    respond(request_line, headers, body) gives the answer's body (bytes);
    headers have lower-case names. With an ssl context the server speaks TLS."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    threading.Thread(target=_serve, args=(listener, respond, context), daemon=True).start()
    return listener


def wine_env():
    """The environment for the program under test: Wine's WinINet honours the
    proxy variables, and loopback must go direct."""
    return {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}


def _serve(listener, respond, context):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        try:
            if context:
                conn = context.wrap_socket(conn, server_side=True)
            with conn:
                _handle(conn, respond)
        except (OSError, ssl.SSLError):
            pass  # a client that gave up, on the handshake or later


def _handle(conn, respond):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return
        data += chunk
    head, body = data.split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    headers = {k.strip().lower(): v.strip() for k, v in
               (line.split(":", 1) for line in lines[1:] if ":" in line)}
    length = int(headers.get("content-length", "0"))
    while len(body) < length:
        chunk = conn.recv(4096)
        if not chunk:
            break
        body += chunk
    answer = respond(lines[0], headers, body)
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
                 b"Content-Length: " + str(len(answer)).encode() + b"\r\n\r\n" + answer)
