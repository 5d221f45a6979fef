#!/usr/bin/env python3
"""A MODBUS TCP peer that logs when each request arrives.

Answers every "read input registers" request (function 4) with zeros, one connection at a
time, and appends the monotonic arrival time of each request (seconds, one per line) to
the file named by $CADENCE_LOG. With $PEER_SILENT set it never answers. Prints "listening 127.0.0.1:PORT" once it listens, as
tessvar-sim does, so that it can stand in for it. Arguments other than --tcp are ignored.
"""
import os, socket, struct, sys, time

addr = "127.0.0.1:0"
args = sys.argv[1:]
if "--tcp" in args:
    addr = args[args.index("--tcp") + 1]
host, port = addr.rsplit(":", 1)
log = open(os.environ.get("CADENCE_LOG", os.devnull), "a", buffering=1)

srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind((host, int(port)))
srv.listen(1)
print("listening %s:%d" % srv.getsockname(), flush=True)


def serve(conn):
    buf = b""
    while True:
        data = conn.recv(4096)
        if not data:
            return
        buf += data
        while len(buf) >= 7:
            length = struct.unpack(">H", buf[4:6])[0]
            if len(buf) < 6 + length:
                break
            frame, buf = buf[:6 + length], buf[6 + length:]
            log.write("%.6f\n" % time.monotonic())
            if os.environ.get("PEER_SILENT"):
                continue  # a device that takes requests and never answers
            tid, unit, fc = struct.unpack(">H", frame[0:2])[0], frame[6], frame[7]
            if fc == 4 and length >= 6:
                count = min(struct.unpack(">H", frame[10:12])[0], 125)
                pdu = bytes([4, 2 * count]) + bytes(2 * count)
            else:
                pdu = bytes([fc | 0x80, 1])
            conn.sendall(struct.pack(">HHHB", tid, 0, len(pdu) + 1, unit) + pdu)


while True:
    conn, _ = srv.accept()
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    try:
        serve(conn)
    except OSError:
        pass
    conn.close()
