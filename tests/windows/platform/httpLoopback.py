#!/usr/bin/env python3
"""Runs the HTTP client program under Wine against a loopback server of its
own (port 0), a port where nobody listens, and an HTTPS server on loopback
whose certificate is self-signed for another name (made with openssl).

Usage: httpLoopback.py WINE_RUN PROGRAM
The server answers every POST with its body inside <answer>...</answer> and
keeps the requests it saw, which this script checks after the program ends."""
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading

requests = []


def serve(listener, context=None):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        try:
            if context:
                conn = context.wrap_socket(conn, server_side=True)
            with conn:
                handle(conn)
        except (OSError, ssl.SSLError):
            pass  # a client that gave up on the handshake


def handle(conn):
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
    requests.append((lines[0], headers, body))
    answer = b"<answer>" + body + b"</answer>"
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
                 b"Content-Length: " + str(len(answer)).encode() + b"\r\n\r\n" + answer)


def free_port():
    """A loopback port nobody listens on: bound once, then closed."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listen(context=None):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    threading.Thread(target=serve, args=(listener, context), daemon=True).start()
    return listener


def tls_context(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=gateway.invalid", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    run, program = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as folder:
        plain, secure = listen(), listen(tls_context(folder))
    refused = free_port()
    # Wine's WinINet honours the proxy variables; loopback goes direct.
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    rc = subprocess.call([run, program, str(plain.getsockname()[1]), str(refused),
                          str(secure.getsockname()[1])], env=env)
    plain.close()
    secure.close()
    if rc != 0:
        print(f"the program failed: {rc}")
        return rc
    if len(requests) != 2:
        print(f"the servers saw {len(requests)} requests, not 2")
        return 1
    line, headers, body = requests[0]
    expected = ("POST /gateway/send?x=1 HTTP/1.1",
                "application/x-www-form-urlencoded",
                b"user=kavri&text=Gr%C3%BC%C3%9Fe")
    seen = (line, headers.get("content-type"), body)
    if seen != expected:
        print(f"the server saw {seen}, not {expected}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
