#!/usr/bin/python3
"""A meter whose every reply arrives in one burst, as a USB adapter hands on what it has gathered.

It serves a pseudo-terminal linked at LINK, answers each read of holding registers (function 3)
with a whole frame of that many registers at once, and logs each request to standard output as
"<seconds> rx <hex>" (lower case). Other requests get no answer. It stops after SECONDS.
Usage: burst_meter.py LINK SECONDS
"""
import os
import pty
import select
import sys
import time
import tty


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def reply_to(request):
    """The whole answer to an 8-byte read request, or None."""
    if request[1] != 3:
        return None
    count = request[4] << 8 | request[5]
    values = bytes((request[3] + i) & 0xFF for i in range(2 * count))
    frame = bytes([request[0], 3, 2 * count]) + values
    return frame + crc16(frame)


def main():
    link, seconds = sys.argv[1], float(sys.argv[2])
    master, slave = pty.openpty()
    tty.setraw(slave)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    print("device", os.ttyname(slave), flush=True)
    start = time.monotonic()
    pending = b""
    while time.monotonic() - start < seconds:
        ready, _, _ = select.select([master], [], [], 0.1)
        if not ready:
            continue
        try:
            pending += os.read(master, 512)
        except OSError:
            continue
        while len(pending) >= 8:
            request, pending = pending[:8], pending[8:]
            if crc16(request[:6]) != request[6:]:
                pending = b""  # out of step: wait for the next request
                break
            print("%.3f rx %s" % (time.monotonic() - start, request.hex(" ")), flush=True)
            answer = reply_to(request)
            if answer:
                os.write(master, answer)


main()
