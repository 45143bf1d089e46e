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

# The shared server sits in the folder above; no bytecode cache goes into the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import loopbackServer  # noqa: E402

requests = []


def echo(line, headers, body):
    requests.append((line, headers, body))
    return b"<answer>" + body + b"</answer>"


def free_port():
    """A loopback port nobody listens on: bound once, then closed."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


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
        plain = loopbackServer.listen(echo)
        secure = loopbackServer.listen(echo, tls_context(folder))
    refused = free_port()
    rc = subprocess.call([run, program, str(plain.getsockname()[1]), str(refused),
                          str(secure.getsockname()[1])], env=loopbackServer.wine_env())
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
