#!/usr/bin/env python3
"""Writes the fuzz seed corpora. The bitmap traps are kept as regression
files: each is a file shape that once broke bitmap readers somewhere."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def bitmap(width=256, height=64, bpp=1, offset=None, compression=0, colours=2, rows=None, size=None, info_size=40):
    stride = 32
    pixels = rows if rows is not None else bytes((i * 37) & 0xFF for i in range(stride * abs(height) if abs(height) <= 64 else 2048))
    headers = 14 + info_size + 8
    total = headers + len(pixels) if size is None else size
    header = b"BM" + struct.pack("<IHHI", total, 0, 0, headers if offset is None else offset)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bpp, compression, len(pixels), 2835, 2835, colours, colours)
    if info_size > 40:
        # Later versions: colour masks, then the colour space "sRGB", the rest zero.
        info += bytes(16) + b"BGRs" + bytes(info_size - 60)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    return header + info + palette + pixels


# Bitmaps: two good logos, then the traps.
write("bitmap", "logo64.bmp", bitmap())
write("bitmap", "logo32.bmp", bitmap(height=32))
write("bitmap", "logo64-header124.bmp", bitmap(info_size=124))
write("bitmap", "trap-height-int-min.bmp", bitmap(height=-2147483648, rows=b""))
write("bitmap", "trap-top-down.bmp", bitmap(height=-64))
write("bitmap", "trap-size-overflow.bmp", bitmap(width=0x40000000, height=0x40000000, rows=b""))
write("bitmap", "trap-height-huge.bmp", bitmap(height=0x7FFFFFFF, rows=b""))
write("bitmap", "trap-offset-past-end.bmp", bitmap(offset=0xFFFFFFFF))
write("bitmap", "trap-offset-into-header.bmp", bitmap(offset=10))
write("bitmap", "trap-palette-count.bmp", bitmap(colours=1000))
write("bitmap", "trap-compression.bmp", bitmap(compression=1))
write("bitmap", "trap-eight-bit.bmp", bitmap(bpp=8))
write("bitmap", "trap-size-field-lies.bmp", bitmap(size=0xFFFFFFFF))
write("bitmap", "trap-not-a-bitmap.bmp", b"GIF89a" + bytes(100))

# Settings and copyright replies.
write("settingsreply", "one-logo", b"S" + bytes([40, 60, 80, 94, 30, 1, 0, 0, 5, 9]))
write("settingsreply", "multi-logo", b"s" + bytes([0, 1, 99, 34, 4, 0, 0, 0, 0, 0]) + b"07")
write("settingsreply", "short-reply", b"S" + bytes([1, 2, 3, 4, 5, 6, 7, 8, 9]))
write("settingsreply", "noise-first", b"\xff\x13zz" + b"S" + bytes([200, 255, 255, 155, 57, 255, 0, 0, 255, 255]))
write("settingsreply", "copyright", b"(C) 2004 QX04 Logo Generator\r\n")
write("settingsreply", "copyright-odd-model", b"QX9(C) QXzz\r\n(C)")

# Reply framing: records of pieces and quiet ticks (see fuzz_replyframing.cpp).
def piece(data):
    out = b""
    while data:
        chunk, data = data[:32], data[32:]
        out += bytes([len(chunk) - 1]) + chunk
    return out


reply = b"s" + bytes([10, 20, 30, 94, 30, 1, 0, 0, 5, 9]) + b"03"
write("replyframing", "whole-reply", piece(reply) + bytes([0x84]))
write("replyframing", "split-close", piece(reply[:5]) + bytes([0x81]) + piece(reply[5:]) + bytes([0x84]))
write("replyframing", "split-far", piece(reply[:5]) + bytes([0x83]) + piece(reply[5:]) + bytes([0x84]))
write("replyframing", "copyright", piece(b"(C) 2004 QX07 Logo Generator\r\n") + bytes([0xA7]))
write("replyframing", "commands-and-noise", bytes([0xC3, 0x82]) + piece(b"\x00\xffS\x01") + bytes([0xE5]) + piece(reply))

# Logo streams: marker, odd field, even field.
field = bytes((i * 11) & 0xFF for i in range(1024))
write("logostream", "stream", b"\x00\x01SD" + field + field[::-1])
write("logostream", "noise-before", b"\x07S\x00D" + b"\x00\x01SD" + field + field)
write("logostream", "cut-after-marker", b"\x00\x01SD" + field[:700])
write("logostream", "no-marker", field)

# Settings files with schedules.
def lists(start, end, on, off, logo, days):
    keys = ("S_Start", "S_End", "S_ON", "S_OFF", "S_Logo", "S_Days")
    return "".join(f"{k}=\"{''.join(str(v) + ',' for v in vals)}\"\n"
                   for k, vals in zip(keys, (start, end, on, off, logo, days)))


n = 20
write("schedule", "busy.conf", ("[FormInit]\nScheduleOn=True\n" + lists(
    [240 * (i % 6) + 7 * i for i in range(n)], [5760 - 13 * i for i in range(n)],
    [2 + i % 5 for i in range(n)], [20 + 4 * (i % 7) for i in range(n)],
    [1 + i % 4 for i in range(n)], [127 - i for i in range(n)])).encode())
write("schedule", "empty-lists.conf", b"[FormInit]\nS_Start=\nS_Days=,,,\n")
write("schedule", "odd-values.conf", ("[FormInit]\n" + lists(
    [-5, 6000, 2147483647, 1e300, "x"] + [0] * 15, [5760, -1, 99999999999, 3.5, ""] + [5760] * 15,
    [0, -3, 1, 7000, 2.5] + [1] * 15, [1, 0, -7, 1, 1] + [4] * 15,
    [1, 2, 3, 99, -1] + [1] * 15, [255, -1, "zz", 1e9, 0.5] + [127] * 15)).encode())
write("schedule", "torn.conf", b"[FormInit\nS_Start=\"0,1,")

# The runner with the schedule changing under it. A sequence on air from
# 7:57 to 8:03 whose logo becomes 31 before its end; then one with every
# field moving between short runs of ticks, and clock steps.
def field(seq, f, value):
    return bytes([seq, f, value])


on_air = b"".join(field(0, f, v) for f, v in ((0, 83), (1, 30), (2, 121), (3, 84), (4, 6), (5, 127)))
write("runner", "logo-changes-on-air", on_air + b"\x83" + field(0, 4, 35) + b"\xbf" * 8)
write("runner", "everything-moves", b"".join(
    field(i % 20, i % 6, (i * 53) & 0xFF) + bytes([0x80 | (i % 7) | (0x40 if i % 9 == 0 else 0)])
    for i in range(60)))


# Telnet: a key byte for the piece lengths, then what the other end sends.
IAC, SB, SE, WILL, WONT, DO, DONT, COM = 255, 250, 240, 251, 252, 253, 254, 44


def sub(code, value):
    return bytes([IAC, SB, COM, code]) + value.replace(b"\xff", b"\xff\xff") + bytes([IAC, SE])


answers = sub(101, struct.pack(">I", 9600)) + sub(102, b"\x08") + sub(103, b"\x01") + sub(104, b"\x01")
requests = sub(1, struct.pack(">I", 9600)) + sub(2, b"\x08") + sub(3, b"\x01") + sub(4, b"\x01")
write("telnet", "server-agrees", b"\x05" + bytes([IAC, DO, 0, IAC, WILL, 0, IAC, DO, COM]) + answers + b"s\xff\xff\r\x00")
write("telnet", "server-refuses", b"\x0b" + bytes([IAC, WILL, 3, IAC, DO, 24, IAC, DONT, COM, IAC, WONT, COM]) + b"ARS")
write("telnet", "server-other-values", b"\x02" + bytes([IAC, DO, COM]) + sub(101, struct.pack(">I", 0x4B00FF))
      + sub(103, b"\x03") + sub(104, b"\x03"))
write("telnet", "client-settings", b"\x07" + bytes([IAC, WILL, 0, IAC, DO, 0, IAC, WILL, COM]) + requests
      + sub(1, bytes(4)) + sub(5, b"\x08") + b"ALD" + bytes(range(256)))
write("telnet", "broken-subs", b"\x11" + b"a" + bytes([IAC, SB, COM, 101, 0, IAC, WILL, 3]) + b"b"
      + sub(101, b"x" * 100) + bytes([IAC, SE, IAC, 241, IAC, 65, IAC]) + b"\r\x00" + bytes([IAC, SB]))


# Control endpoint: what a client sends; 0x01 runs the link's clock a while.
write("control", "every-operation", b"\n".join([
    b'{"id":1,"op":"hello"}', b'{"id":2,"op":"subscribe"}', b'{"id":3,"op":"status"}',
    b'{"id":4,"op":"take","take":"on"}', b'{"id":5,"op":"set","setting":"hpos","value":37}',
    b'{"id":6,"op":"select","slot":2}', b'{"id":7,"op":"wake","node":3}', b'{"id":8,"op":"sleep"}',
    b'{"id":9,"op":"set-id","node":9}', b'{"id":"a","op":"standard","standard":"pal"}',
    b'{"id":10,"op":"diagnostic","command":17}', b'{"id":11,"op":"copyright"}',
    b'{"id":12,"op":"upload","file":"/nonexistent/x.bmp"}', b'{"id":13,"op":"schedule-reload"}']) + b"\n\x01\x01")
write("control", "hostile", b'{"id":1,"op":"take"\n[1]\n{"id":1e400,"op":"hello"}\n{"id":2,"op":"set","setting":"fade",'
      b'"value":-0.0}\n{"id":3,"op":"download","file":"/dev/null","negative":true}\n\xff\xfe{}\r\n\x01'
      b'{"id":4,"op":"diagnostic","command":8}\n\x01{"id":5' + b"x" * 70000 + b"\n")
