#!/usr/bin/env python3
"""Holds COUNT trickling, COUNT idle and COUNT stalled connections to a loopback HTTP server until SIGTERM.

Trickling clients send one header byte every 2 s; idle ones send nothing; stalled ones request PATH and never read.
A connection the server ends is opened again a second later, as a client that insists would. For
bench/library_server_vs_nginx.sh: usage: slow_clients.py PORT PATH COUNT
"""
import select
import signal
import socket
import sys
import time

port, path, count = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
head = b"GET /hello HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"s" * 60000
stalled_request = b"GET " + path.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n"
running = True


def stop(*_):
    global running
    running = False


signal.signal(signal.SIGTERM, stop)
signal.signal(signal.SIGINT, stop)


class Client:
    def __init__(self, kind):
        self.kind, self.sock, self.sent, self.reopen_at = kind, None, 0, 0.0

    def open(self):
        s = socket.socket()
        if self.kind == "stalled":
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        try:
            s.connect(("127.0.0.1", port))
            if self.kind == "stalled":
                s.sendall(stalled_request)
        except OSError:
            s.close()
            self.reopen_at = time.monotonic() + 1
            return
        s.setblocking(False)
        self.sock, self.sent = s, 0

    def ended(self):
        self.sock.close()
        self.sock, self.reopen_at = None, time.monotonic() + 1


clients = [Client(kind) for _ in range(count) for kind in ("trickling", "idle", "stalled")]
for c in clients:
    c.open()
print(f"slow clients on port {port}: {sum(c.sock is not None for c in clients)} open", file=sys.stderr, flush=True)
next_byte = time.monotonic() + 2
while running:
    by_fd = {c.sock.fileno(): c for c in clients if c.sock is not None}
    poller = select.poll()
    for fd in by_fd:
        poller.register(fd, select.POLLRDHUP)
    for fd, _ in poller.poll(500):
        by_fd[fd].ended()
    now = time.monotonic()
    for c in clients:
        if c.sock is None and now >= c.reopen_at:
            c.open()
    if now >= next_byte:
        next_byte = now + 2
        for c in clients:
            if c.kind == "trickling" and c.sock is not None:
                try:
                    c.sock.send(head[c.sent % len(head):][:1])
                    c.sent += 1
                except OSError:
                    c.ended()
for c in clients:
    if c.sock is not None:
        c.sock.close()
