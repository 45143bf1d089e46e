#!/usr/bin/env python3
"""Runs the composer test program under Wine against a loopback SMS gateway
of its own (port 0), then checks the requests the window sent.

Usage: composerGateway.py RUN PROGRAM (RUN runs a program under Wine)
The gateway answers a credit query with a balance of 25 and a send with its
acknowledgement."""
import os
import subprocess
import sys
import urllib.parse

# The shared server sits in the folder above; no bytecode cache goes into the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import loopbackServer  # noqa: E402

requests = []


def answer(line, headers, body):
    fields = urllib.parse.parse_qs(body.decode("latin-1").strip())
    requests.append((line, fields))
    action = fields.get("action", [""])[0]
    payload = b"25" if action == "getCredits" else b"OK"
    return b"<Response><Data>" + payload + b"</Data></Response>"


def main():
    run, program = sys.argv[1:3]
    listener = loopbackServer.listen(answer)
    port = listener.getsockname()[1]
    rc = subprocess.call([run, program, str(port)], env=loopbackServer.wine_env())
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
