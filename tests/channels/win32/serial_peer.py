#!/usr/bin/env python3
"""The far end of the serial check: sends the check pattern to a pseudo-terminal and
reads back the echo, within a deadline. Prints one line; exits 0 when the echo came
back whole and in order."""
import os
import select
import sys
import termios
import time
import tty


def pattern(count):
    return bytes(((i * 7 + i // 251) & 0xFF) for i in range(count))


def main():
    path, count, deadline_s = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    termios.tcflush(fd, termios.TCIOFLUSH)
    data = pattern(count)
    sent, echoed = 0, bytearray()
    end = time.monotonic() + deadline_s
    while len(echoed) < count and time.monotonic() < end:
        want_write = [fd] if sent < count else []
        readable, writable, _ = select.select([fd], want_write, [], 0.5)
        if readable:
            try:
                echoed += os.read(fd, 65536)
            except BlockingIOError:
                pass
        if writable:
            try:
                sent += os.write(fd, data[sent:sent + 997])
            except BlockingIOError:
                pass
    if echoed == data:
        print(f"peer: {count} bytes sent and echoed back in order")
        return 0
    first = next((i for i, (a, b) in enumerate(zip(echoed, data)) if a != b), min(len(echoed), count))
    print(f"peer: sent {sent}, echoed {len(echoed)} of {count}, first difference at {first}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
