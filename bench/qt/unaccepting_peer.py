#!/usr/bin/env python3
"""A TCP peer whose handshake never completes: every connect runs to its own time limit.

It listens with a backlog of none and fills the queue with connections it never accepts;
the kernel then drops every further SYN, so a client's connect neither succeeds nor is
refused. Loopback only, no firewall rules needed. Prints "listening 127.0.0.1:PORT" once
the queue is full and holds it until killed.
"""
import socket, time

srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
srv.bind(("127.0.0.1", 0))
srv.listen(0)
port = srv.getsockname()[1]
held = []
for _ in range(4):
    c = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    c.setblocking(False)
    try:
        c.connect(("127.0.0.1", port))
    except BlockingIOError:
        pass
    held.append(c)
time.sleep(0.3)  # let the queue fill
print("listening 127.0.0.1:%d" % port, flush=True)
while True:
    time.sleep(3600)
