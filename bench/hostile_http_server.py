#!/usr/bin/env python3
"""Loopback HTTP server whose replies no vendor answer looks like; for
bench/http_reply_bounds.sh. The first path segment picks the reply shape
(`/endless/index.php/...`); the port is printed on the first line."""
import socket
import sys
import threading
import time
import zlib

CHUNKED = b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
OK = b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n"
SMALL = b'{"result":1,"info":"http://weixin.qq.com/r/x"}'
MIB = 1 << 20


def bomb(wbits, mebibytes=256):
    """Zeros compressed: gzip (wbits 31) or zlib (15), about 1/1000 of what they inflate to."""
    z, zeros = zlib.compressobj(9, zlib.DEFLATED, wbits), bytes(MIB)
    return b"".join(z.compress(zeros) for _ in range(mebibytes)) + z.flush()


GZIP_BOMB, DEFLATE_BOMB = bomb(31), bomb(15)


def endless(c, head, piece):
    c.sendall(head)
    while True:
        c.sendall(piece)


def trickle(c, head, drop, every):
    c.sendall(head)
    while True:
        c.sendall(drop)
        time.sleep(every)


SHAPES = {
    "small": lambda c, path: c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(SMALL) + SMALL),
    "endless": lambda c, path: endless(c, OK, b"[" * 65536),
    "mib-chunks": lambda c, path: endless(c, CHUNKED, b"100000\r\n" + b" " * MIB + b"\r\n"),
    "tiny-chunks": lambda c, path: endless(c, CHUNKED, b"1\r\nx\r\n" * 4096),
    "chunk-ext": lambda c, path: endless(c, CHUNKED + b"1;", b"e" * 65536),
    "header-line": lambda c, path: endless(c, b"HTTP/1.1 200 OK\r\nX-Long: ", b"h" * 65536),
    "header-lines": lambda c, path: endless(c, b"HTTP/1.1 200 OK\r\n", b"X-A: 1\r\n" * 4096),
    "continue": lambda c, path: endless(c, b"", b"HTTP/1.1 100 Continue\r\n\r\n" * 1024),
    "100k-headers": lambda c, path: c.sendall(b"HTTP/1.1 200 OK\r\n" + b"X-N: 1\r\n" * 100000 + b"Content-Length: 2\r\n\r\n{}"),
    "length-1e15": lambda c, path: trickle(c, b"HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000\r\n\r\n{", b" ", 0.05),
    "gzip-bomb": lambda c, path: c.sendall(
        b"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: %d\r\n\r\n" % len(GZIP_BOMB) + GZIP_BOMB),
    "deflate-bomb": lambda c, path: c.sendall(
        b"HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n\r\n"
        + b"%x\r\n" % len(DEFLATE_BOMB) + DEFLATE_BOMB + b"\r\n0\r\n\r\n"),
    "reset": lambda c, path: (c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"res"),
                        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")),
    "trickle": lambda c, path: trickle(c, OK + b'{"result":1,"info":"', b"x", 0.05),
    "silent": lambda c, path: time.sleep(600),
    "redirect-loop": lambda c, path: c.sendall(
        b"HTTP/1.1 307 Again\r\nLocation: " + path + b"\r\nContent-Length: 0\r\n\r\n"),
}


def serve(c):
    try:
        request = b""
        while b"\r\n\r\n" not in request:
            data = c.recv(65536)
            if not data:
                return
            request += data
        path = request.split(b" ", 2)[1]
        SHAPES[path.split(b"/")[1].decode()](c, path)
    except (OSError, KeyError, IndexError):
        pass
    finally:
        c.close()


def main():
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    print(s.getsockname()[1], flush=True)
    while True:
        c, _ = s.accept()
        threading.Thread(target=serve, args=(c,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
