#!/usr/bin/env python3
# Writes the hand-made seed inputs of the fuzz targets (fuzz/corpus/<target>/): frames laid
# out from the protocol layouts, good and malformed. Run: python3 fuzz/make_seeds.py fuzz/corpus
import os, sys
root = sys.argv[1]
def crc16(b):
    c = 0xFFFF
    for x in b:
        c ^= x
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
    return bytes([c & 0xFF, c >> 8])
def rtu(b): return bytes(b) + crc16(bytes(b))
def lrc(b): return (-sum(b)) & 0xFF
def ascii(b): return (":" + bytes(b).hex().upper() + "%02X" % lrc(b) + "\r\n").encode()
def mbap(tid, pdu_unit): return bytes([tid >> 8, tid & 0xFF, 0, 0, len(pdu_unit) >> 8, len(pdu_unit) & 0xFF]) + bytes(pdu_unit)
def ft12_fixed(ctrl, addr): return bytes([0x10, ctrl, addr, (ctrl + addr) & 0xFF, 0x16])
def ft12_var(ctrl, addr, asdu):
    body = bytes([ctrl, addr]) + bytes(asdu)
    return bytes([0x68, len(body), len(body), 0x68]) + body + bytes([sum(body) & 0xFF, 0x16])
def w(target, name, data):
    d = os.path.join(root, target); os.makedirs(d, exist_ok=True)
    open(os.path.join(d, name), "wb").write(data)

# MODBUS replies: first octet = expectation (odd: function 4, registers = octet >> 1).
reply4 = [1, 4, 4, 0, 0x12, 0x34, 0x56]
w("modbus_reply_fuzz", "rtu-two-registers", bytes([5]) + rtu([1, 4, 4, 0x00, 0x12, 0x34, 0x56]))
w("modbus_reply_fuzz", "rtu-exception-2", bytes([5]) + rtu([1, 0x84, 2]))
w("modbus_reply_fuzz", "rtu-bad-crc", bytes([5]) + rtu([1, 4, 4, 0, 1, 0, 2])[:-1] + b"\x00")
w("modbus_reply_fuzz", "rtu-overcount", bytes([5]) + rtu([1, 4, 0x20, 0, 1, 0, 2]))
w("modbus_reply_fuzz", "ascii-two-registers", bytes([5]) + ascii([1, 4, 4, 0, 1, 0, 2]))
w("modbus_reply_fuzz", "ascii-bad-lrc", bytes([5]) + b":01040400010002FF\r\n")
w("modbus_reply_fuzz", "tcp-two-registers", bytes([5]) + mbap(1, [1, 4, 4, 0, 1, 0, 2]))
w("modbus_reply_fuzz", "tcp-length-lies", bytes([5]) + bytes([0, 1, 0, 0, 0, 0xFF, 1, 4, 4, 0, 1]))
w("modbus_reply_fuzz", "rtu-function-3", bytes([4]) + rtu([1, 3, 2, 0, 7]))

# MODBUS requests (the simulator's side).
w("modbus_request_fuzz", "rtu-read-input", rtu([1, 4, 0, 0, 0, 2]))
w("modbus_request_fuzz", "rtu-read-holding", rtu([1, 3, 0, 10, 0, 4]))
w("modbus_request_fuzz", "rtu-write-multiple", rtu([1, 16, 0, 3, 0, 2, 4, 0x12, 0x34, 0x56, 0x78]))
w("modbus_request_fuzz", "rtu-write-count-lies", rtu([1, 16, 0, 3, 0, 2, 9, 0x12, 0x34]))
w("modbus_request_fuzz", "rtu-broadcast", rtu([0, 4, 0, 0, 0, 2]))
w("modbus_request_fuzz", "ascii-read-input", ascii([1, 4, 0, 0, 0, 2]))
w("modbus_request_fuzz", "ascii-no-end", ascii([1, 4, 0, 0, 0, 2])[:-2])
w("modbus_request_fuzz", "tcp-read-input", mbap(7, [1, 4, 0, 0, 0, 2]))
w("modbus_request_fuzz", "tcp-two-back-to-back", mbap(1, [1, 4, 0, 0, 0, 2]) + mbap(2, [1, 4, 0, 2, 0, 2]))
w("modbus_request_fuzz", "tcp-zero-length", bytes([0, 1, 0, 0, 0, 0]))

# The TCP link's MBAP gathering: segments, each led by its length octet (0 = peer closes).
good = mbap(1, [1, 4, 4, 0, 1, 0, 2])
w("tcp_frame_fuzz", "one-segment", bytes([len(good)]) + good)
w("tcp_frame_fuzz", "split-in-three", bytes([3]) + good[:3] + bytes([4]) + good[3:7] + bytes([len(good) - 7]) + good[7:])
w("tcp_frame_fuzz", "two-frames-one-segment", bytes([2 * len(good)]) + good + good)
w("tcp_frame_fuzz", "closed-midway", bytes([5]) + good[:5] + bytes([0]))
w("tcp_frame_fuzz", "oversize-length", bytes([8]) + bytes([0, 1, 0, 0, 0x10, 0, 1, 4]))

# Serial settings texts.
w("serial_settings_fuzz", "plain", b"9600,N,8,1")
w("serial_settings_fuzz", "russian-even", "19200, ЧЕТ, 8, 1".encode())
w("serial_settings_fuzz", "russian-odd-cp1251", "115200,НЕЧЕТ,7,2".encode("cp1251"))
w("serial_settings_fuzz", "missing-field", b"9600,,8")
w("serial_settings_fuzz", "huge-rate", b"99999999999999999999,N,8,1")

# FT1.2 replies: first octet picks address size (bit 0) and ASDU field sizes.
asdu9 = [9, 2, 3, 1, 1, 0, 0x10, 0x27, 0, 2, 0, 0x20, 0x4E, 0]  # M_ME_NA_1, 2 objects, cause 3
w("ft12_reply_fuzz", "fixed-status", bytes([0]) + ft12_fixed(0x0B, 1))
w("ft12_reply_fuzz", "single-ack", bytes([0, 0xE5]))
w("ft12_reply_fuzz", "user-data-type-9", bytes([0]) + ft12_var(0x08, 1, asdu9))
w("ft12_reply_fuzz", "bad-checksum", bytes([0]) + ft12_var(0x08, 1, asdu9)[:-2] + bytes([0, 0x16]))
w("ft12_reply_fuzz", "length-mismatch", bytes([0, 0x68, 9, 8, 0x68, 8, 1, 9, 1, 3, 1, 0, 0, 0x16]))
w("ft12_reply_fuzz", "two-octet-address", bytes([1]) + bytes([0x10, 0x0B, 1, 0, 0x0C, 0x16]))

# ASDUs: octet 0 sizes and mode, octet 1 group, then length-led ASDUs.
w("asdu_decode_fuzz", "type-9-two-objects", bytes([0, 0, len(asdu9)]) + bytes(asdu9))
asdu13 = [13, 1, 20, 1, 0, 0, 0, 0, 0x80, 0x3F, 0]
w("asdu_decode_fuzz", "type-13-float", bytes([0, 0, len(asdu13)]) + bytes(asdu13))
asdu_sq = [9, 0x83, 20, 1, 0, 1, 0, 1, 0, 2, 0, 0, 3, 0, 0]
w("asdu_decode_fuzz", "type-9-sequence", bytes([0, 1, len(asdu_sq)]) + bytes(asdu_sq))
w("asdu_decode_fuzz", "count-lies", bytes([0, 0, 6, 9, 0x7F, 3, 1, 0, 0]))
w("asdu_decode_fuzz", "termination", bytes([0, 0, 6, 100, 1, 10, 1, 0, 20]))

# IEC 104 streams: octet 0 mode, octet 1 group, octet 2 segment size, then APDUs.
startdt_con = bytes([0x68, 4, 0x0B, 0, 0, 0])
asdu104 = bytes([9, 1, 20, 0, 1, 0, 1, 0, 0, 0x10, 0x27, 0])
iframe = bytes([0x68, 4 + len(asdu104), 0, 0, 0, 0]) + asdu104
w("iec104_stream_fuzz", "startdt-then-data", bytes([0, 0, 63]) + startdt_con + iframe)
w("iec104_stream_fuzz", "split-by-one", bytes([0, 0, 0]) + startdt_con + iframe)
w("iec104_stream_fuzz", "testfr-act", bytes([1, 0, 63]) + startdt_con + bytes([0x68, 4, 0x43, 0, 0, 0]))
w("iec104_stream_fuzz", "length-too-short", bytes([2, 0, 63]) + bytes([0x68, 2, 0, 0]))
w("iec104_stream_fuzz", "s-frame", bytes([0, 0, 63]) + startdt_con + bytes([0x68, 4, 1, 0, 2, 0]))

# IEC 101 station: octet 0 station options, then frames from the master in pieces.
w("iec101_station_fuzz", "status-reset", bytes([0]) + ft12_fixed(0x49, 1) + ft12_fixed(0x40, 1))
w("iec101_station_fuzz", "interrogation", bytes([0]) + ft12_fixed(0x49, 1) + ft12_fixed(0x40, 1) +
  ft12_var(0x53, 1, [100, 1, 6, 1, 0, 0, 20]) + ft12_fixed(0x5B, 1))
w("iec101_station_fuzz", "read-102", bytes([0]) + ft12_var(0x53, 1, [102, 1, 5, 1, 1, 0]) + ft12_fixed(0x7B, 1))
w("iec101_station_fuzz", "clock-sync", bytes([0]) + ft12_var(0x73, 1, [103, 1, 6, 1, 0, 0, 0, 0, 0, 0, 1, 1, 26]))
w("iec101_station_fuzz", "broken-frame", bytes([0, 0x68, 5, 5, 0x68, 0x53, 1, 0x16]))

# Frame summaries: octet 0 picks protocol (low bits mod 5: RTU, ASCII, TCP, FT1.2, 104),
# two-octet link address (0x08), the ASDU sizes (0x10, 0x20, 0x40) and a reply (0x80).
RTU, ASC, TCP, FT12, IEC104 = 0, 1, 2, 3, 4
REPLY = 0x80
w("frame_summary_fuzz", "rtu-request", bytes([RTU]) + rtu([1, 4, 0, 0, 0, 10]))
w("frame_summary_fuzz", "rtu-reply", bytes([RTU | REPLY]) + rtu([1, 4, 4, 0, 1, 0, 2]))
w("frame_summary_fuzz", "rtu-exception", bytes([RTU | REPLY]) + rtu([1, 0x84, 2]))
w("frame_summary_fuzz", "ascii-request", bytes([ASC]) + ascii([1, 4, 0, 0, 0, 2]))
w("frame_summary_fuzz", "ascii-bad-lrc", bytes([ASC | REPLY]) + b":01040400010002FF\r\n")
w("frame_summary_fuzz", "tcp-request", bytes([TCP]) + mbap(1, [1, 4, 0, 0, 0, 2]))
w("frame_summary_fuzz", "tcp-reply", bytes([TCP | REPLY]) + mbap(1, [1, 4, 4, 0, 1, 0, 2]))
w("frame_summary_fuzz", "ft12-status", bytes([FT12]) + ft12_fixed(0x49, 1))
w("frame_summary_fuzz", "ft12-e5", bytes([FT12 | REPLY, 0xE5]))
w("frame_summary_fuzz", "ft12-data", bytes([FT12 | REPLY]) + ft12_var(0x08, 1, asdu9))
w("frame_summary_fuzz", "ft12-two-octet-address", bytes([FT12 | 0x08, 0x10, 0x4B, 1, 0, 0x4C, 0x16]))
w("frame_summary_fuzz", "iec104-startdt", bytes([IEC104]) + bytes([0x68, 4, 0x07, 0, 0, 0]))
w("frame_summary_fuzz", "iec104-data", bytes([IEC104 | REPLY]) + iframe)
w("frame_summary_fuzz", "iec104-float", bytes([IEC104 | REPLY]) +
  bytes([0x68, 4 + 3 + len(asdu13), 0, 0, 0, 0]) + bytes(asdu13) + bytes([0, 0, 0]))
