#!/usr/bin/python3
"""Receives OSC bundles with python3-liblo and prints one JSON line per
bundle: {"messages": [{"path", "types", "args"}]}. Runs until SIGTERM or
the given number of seconds."""
import json
import signal
import sys
import time

import liblo

port = int(sys.argv[1])
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
server = liblo.Server(port)
current = []
stopping = []


def begin(timetag, user_data):
    current.clear()


def end(user_data):
    print(json.dumps({"messages": list(current)}), flush=True)
    current.clear()


def message(path, args, types, src):
    current.append({"path": path, "types": types, "args": list(args)})


server.add_bundle_handlers(begin, end)
server.add_method(None, None, message)
signal.signal(signal.SIGTERM, lambda *a: stopping.append(1))
print("ready", flush=True)
deadline = time.time() + seconds
while not stopping and time.time() < deadline:
    server.recv(20)
