#!/usr/bin/env python3
"""Runs the composer test program under Wine against a loopback SMS gateway
of its own (port 0), then checks the requests the window sent.

Usage: composerGateway.py RUN PROGRAM (RUN runs a program under Wine)
The gateway answers a credit query with a balance of 25 and a send with its
acknowledgement."""
import os
import socket
import subprocess
import sys
import threading
import urllib.parse

requests = []


def serve(listener):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        with conn:
            handle(conn)


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
    fields = urllib.parse.parse_qs(body.decode("latin-1").strip())
    requests.append((lines[0], fields))
    action = fields.get("action", [""])[0]
    payload = b"25" if action == "getCredits" else b"OK"
    answer = b"<Response><Data>" + payload + b"</Data></Response>"
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
                 b"Content-Length: " + str(len(answer)).encode() + b"\r\n\r\n" + answer)


def main():
    run, program = sys.argv[1:3]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    threading.Thread(target=serve, args=(listener,), daemon=True).start()
    port = listener.getsockname()[1]
    # Wine's WinINet honours the proxy variables; loopback goes direct.
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    rc = subprocess.call([run, program, str(port)], env=env)
    listener.close()
    if rc != 0:
        print(f"the program failed: {rc}")
        return rc
    actions = [fields.get("action", [""])[0] for _, fields in requests]
    # Asked for the balance, sent, and refreshed the balance after the send.
    if actions != ["getCredits", "sendMessages", "getCredits"]:
        print(f"the gateway saw the actions {actions}")
        return 1
    line, fields = requests[1]
    expected = {"login": ["tester"], "recepient0": ["+36201234567"],
                "messageData0": ["Hello"], "messageCount": ["1"]}
    seen = {k: fields.get(k) for k in expected}
    if not line.startswith("POST /kavri ") or seen != expected:
        print(f"the send was {line} {fields}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
