#!/usr/bin/env python3
"""Records what a program writes to its 80 x 24 terminal.

    record.py OUT.bin COMMAND [ARG...]

Runs COMMAND on a pseudo-terminal of 80 columns and 24 rows, passes this
terminal's input to it, and writes every byte the program outputs to OUT.bin.
Run it inside a terminal of that size (for example a tmux pane) and drive the
program from there; see README.md.
"""
import fcntl
import os
import pty
import select
import struct
import sys
import termios
import tty


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    out = open(sys.argv[1], "wb")
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(sys.argv[2], sys.argv[2:])
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
    mode = termios.tcgetattr(0)
    tty.setraw(0)
    try:
        while True:
            ready, _, _ = select.select([fd, 0], [], [])
            if fd in ready:
                try:
                    data = os.read(fd, 4096)
                except OSError:
                    break
                if not data:
                    break
                out.write(data)
                out.flush()
                os.write(1, data)
            if 0 in ready:
                os.write(fd, os.read(0, 4096))
    finally:
        termios.tcsetattr(0, termios.TCSAFLUSH, mode)
    os.waitpid(pid, 0)


if __name__ == "__main__":
    main()
