#!/usr/bin/env python3
"""Abusive clients for vendor_api_load.sh.

slow HOST PORT [--tls] [--slow N] [--idle N]
    Holds N trickling connections (the request line and headers one byte a
    second, never a whole header block) and N idle ones (connected, silent),
    each reopened when the server drops it, until terminated. One thread and
    non-blocking sockets, so 10,000 of them are cheap.
good HOST PORT [--tls] [--requests N] [--timeout S] [--interval S]
    A well-behaved client: N look-ups one after another, each on a new
    connection (handshake included in its time); prints the failures (no
    answer within S seconds) and the median and slowest time. --interval
    pauses between look-ups, so that they span the trickling clients' churn;
    --budget S gives up after S seconds, counting the look-ups not made as failed.
flood HOST PORT [--bytes N] [--parallel N]
    Streams 8 KB header lines at the server, a new connection whenever one is
    refused, until N bytes have gone out; prints what came back.
"""
import argparse
import heapq
import select
import selectors
import signal
import socket
import ssl
import sys
import threading
import time

REQUEST_LINE = b"POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: 127.0.0.1\r\n"


# One client context: building one loads the system's trust store, which would dwarf the handshake.
CLIENT_TLS = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
CLIENT_TLS.check_hostname = False
CLIENT_TLS.verify_mode = ssl.CERT_NONE


def connect(host, port, tls, timeout=10):
    s = socket.create_connection((host, port), timeout=timeout)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # as any interactive client does
    if tls:
        s = CLIENT_TLS.wrap_socket(s)
    return s


class Held:
    """One abusive connection: connects (and shakes hands) without blocking, then trickles or idles."""

    opened = 0  # connections made ready so far, reopened ones included

    def __init__(self, kind, args, selector):
        self.kind, self.args, self.selector = kind, args, selector
        self.sock, self.ready, self.sent, self.connected = None, False, 0, False

    def open(self):
        raw = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        raw.setblocking(False)
        raw.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        raw.connect_ex((self.args.host, self.args.port))
        self.sock, self.ready, self.sent, self.connected = raw, False, 0, False
        self.selector.register(self.sock, selectors.EVENT_WRITE, self)

    def close(self):
        if self.sock is not None:
            try:
                self.selector.unregister(self.sock)
            except (KeyError, ValueError):
                pass
            self.sock.close()
        self.sock, self.ready = None, False

    def progress(self):
        """Connect and shake hands as far as the socket allows; True once ready to trickle."""
        if not self.connected:
            if self.sock.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR):
                raise OSError("connect failed")
            self.connected = True
            if self.args.tls:  # wrapped only once connected: Python reads from the socket as it wraps
                self.selector.unregister(self.sock)
                self.sock = CLIENT_TLS.wrap_socket(self.sock, do_handshake_on_connect=False)
                self.selector.register(self.sock, selectors.EVENT_WRITE, self)
        try:
            if self.args.tls:
                self.sock.do_handshake()
        except ssl.SSLWantReadError:
            self.selector.modify(self.sock, selectors.EVENT_READ, self)
            return False
        except ssl.SSLWantWriteError:
            self.selector.modify(self.sock, selectors.EVENT_WRITE, self)
            return False
        self.selector.unregister(self.sock)
        self.ready = True
        Held.opened += 1
        return True

    def tick(self):
        """One second's worth: a byte (or nothing when idle); False when the server has closed."""
        try:
            if self.sock.recv(1) == b"":
                return False
        except (BlockingIOError, ssl.SSLWantReadError, ssl.SSLWantWriteError):
            pass
        except OSError:
            return False
        if self.kind == "idle":
            return True
        data = REQUEST_LINE + b"X-Slow: "
        byte = data[self.sent:self.sent + 1] or b"a"
        try:
            self.sent += self.sock.send(byte)
        except (BlockingIOError, ssl.SSLWantReadError, ssl.SSLWantWriteError):
            pass
        except OSError:
            return False
        return True


def slow(args):
    """Holds --slow trickling and --idle silent connections, a byte a second each, reopening
    any the server closes, until terminated; one thread, so thousands are cheap."""
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    selector = selectors.DefaultSelector()
    held = [Held("slow", args, selector) for _ in range(args.slow)]
    held += [Held("idle", args, selector) for _ in range(args.idle)]
    for h in held:
        try:
            h.open()
        except OSError:
            h.close()  # opened again when its turn comes
    due = [(time.monotonic() + i / max(len(held), 1), i) for i in range(len(held))]
    heapq.heapify(due)
    announced, deadline, reopened = False, time.monotonic() + args.ramp, 0
    while not stop.is_set():
        for key, _ in selector.select(0.01):
            h = key.data
            try:
                h.progress()
            except OSError:
                h.close()
        now = time.monotonic()
        while due and due[0][0] <= now:
            _, i = heapq.heappop(due)
            h = held[i]
            try:
                if h.sock is None:
                    h.open()
                elif h.ready and not h.tick():
                    h.close()
                    h.open()
                    reopened += 1
            except OSError:  # out of descriptors or ports for now: try again next second
                h.close()
            heapq.heappush(due, (now + 1.0, i))
        if not announced and (Held.opened >= len(held) or now > deadline):
            announced = True
            ready = sum(h.ready for h in held)
            print(f"holding {ready} of {len(held)} slow and idle connections", flush=True)
    print(f"reopened {reopened} connections the server closed", file=sys.stderr, flush=True)


def good(args):
    body = b"user_account=vorlane&token=D58B6D19EC89C86BD6B9B6644C2982B7"
    request = (REQUEST_LINE + b"Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n"
               + b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
    times, failed = [], 0
    give_up = time.monotonic() + args.budget if args.budget else None
    for _ in range(args.requests):
        if give_up and time.monotonic() > give_up:
            failed += 1  # not even tried: the earlier ones took the whole budget
            continue
        time.sleep(args.interval)
        start = time.perf_counter()
        reply = b""
        try:
            s = connect(args.host, args.port, args.tls, args.timeout)
            s.sendall(request)
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                reply += chunk
            s.close()
        except OSError:
            pass
        times.append((time.perf_counter() - start) * 1000)
        if times[-1] > args.timeout * 1000 or not (reply.startswith(b"HTTP/1.1 200") and b'"result":1' in reply):
            failed += 1
    times.sort()
    times = times or [float("nan")]
    print(f"good: {args.requests} requests, {failed} failed, median {times[len(times) // 2]:.2f} ms, "
          f"slowest {times[-1]:.2f} ms", flush=True)


def flood(args):
    line = b"X-Flood: " + b"a" * 8000 + b"\r\n"
    total = 0
    replies = {}
    connections = 0
    lock = threading.Lock()

    def one():
        nonlocal total, connections
        while True:
            with lock:
                if total >= args.bytes:
                    return
                connections += 1
            s = connect(args.host, args.port, False)
            s.setblocking(False)
            pending = REQUEST_LINE
            reply = b""
            while True:
                readable, writable, _ = select.select([s], [s] if pending else [], [], 10)
                if not readable and not writable:
                    break
                if readable:
                    try:
                        chunk = s.recv(65536)
                    except OSError:
                        break
                    if not chunk:
                        break
                    reply += chunk
                    pending = b""
                    continue
                try:
                    n = s.send(pending)
                except OSError:
                    break
                with lock:
                    total += n
                    if total >= args.bytes:
                        break
                pending = pending[n:] or line
            s.close()
            status = reply.split(b"\r\n", 1)[0].decode(errors="replace") or "(no reply)"
            with lock:
                replies[status] = replies.get(status, 0) + 1

    threads = [threading.Thread(target=one) for _ in range(args.parallel)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print(f"sent {total} header bytes over {connections} connections; replies: "
          + ", ".join(f"{k} x{v}" for k, v in sorted(replies.items())), flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["slow", "good", "flood"])
    parser.add_argument("host")
    parser.add_argument("port", type=int)
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--slow", type=int, default=200)
    parser.add_argument("--idle", type=int, default=50)
    parser.add_argument("--requests", type=int, default=200)
    parser.add_argument("--timeout", type=float, default=10)
    parser.add_argument("--interval", type=float, default=0)
    parser.add_argument("--budget", type=float, default=0)
    parser.add_argument("--ramp", type=float, default=60)
    parser.add_argument("--bytes", type=int, default=1 << 30)
    parser.add_argument("--parallel", type=int, default=8)
    args = parser.parse_args()
    {"slow": slow, "good": good, "flood": flood}[args.mode](args)


if __name__ == "__main__":
    sys.exit(main())
