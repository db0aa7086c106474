#!/usr/bin/env python3
"""Abusive clients for vendor_api_load.sh.

slow HOST PORT [--tls] [--slow N] [--idle N]
    Holds N slowloris connections (a request line, then one header byte a
    second, never a whole header block) and N idle ones (connected, silent,
    reconnected when the server drops them) until terminated.
good HOST PORT [--tls] [--requests N]
    A well-behaved client: N look-ups one after another, each on a new
    connection (handshake included in its time); prints the failures and the
    median and slowest time.
flood HOST PORT [--bytes N] [--parallel N]
    Streams 8 KB header lines at the server, a new connection whenever one is
    refused, until N bytes have gone out; prints what came back.
"""
import argparse
import select
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


def connect(host, port, tls):
    s = socket.create_connection((host, port), timeout=10)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # as any interactive client does
    if tls:
        s = CLIENT_TLS.wrap_socket(s)
    return s


def slow(args):
    stop = threading.Event()
    held = {"slow": 0, "idle": 0}
    lock = threading.Lock()

    def hold(kind):
        while not stop.is_set():
            try:
                s = connect(args.host, args.port, args.tls)
                with lock:
                    held[kind] += 1
                try:
                    if kind == "slow":
                        s.sendall(REQUEST_LINE + b"X-Slow: ")
                        while not stop.wait(1.0):
                            s.sendall(b"a")
                    else:
                        s.settimeout(1.0)
                        while not stop.is_set():
                            try:
                                if s.recv(1) == b"":
                                    break  # dropped: come back, as an idle pool would
                            except socket.timeout:
                                pass
                finally:
                    with lock:
                        held[kind] -= 1
                    s.close()
            except OSError:
                stop.wait(0.2)

    threads = [threading.Thread(target=hold, args=("slow",), daemon=True) for _ in range(args.slow)]
    threads += [threading.Thread(target=hold, args=("idle",), daemon=True) for _ in range(args.idle)]
    for t in threads:
        t.start()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    deadline = time.time() + 30
    while time.time() < deadline and (held["slow"] < args.slow or held["idle"] < args.idle):
        time.sleep(0.1)
    print(f"holding {held['slow']} slow and {held['idle']} idle connections", flush=True)
    while not stop.wait(0.5):
        pass


def good(args):
    body = b"user_account=vorlane&token=D58B6D19EC89C86BD6B9B6644C2982B7"
    request = (REQUEST_LINE + b"Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n"
               + b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
    times, failed = [], 0
    for _ in range(args.requests):
        start = time.perf_counter()
        reply = b""
        try:
            s = connect(args.host, args.port, args.tls)
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
        if not (reply.startswith(b"HTTP/1.1 200") and b'"result":1' in reply):
            failed += 1
    times.sort()
    print(f"good: {len(times)} requests, {failed} failed, median {times[len(times) // 2]:.2f} ms, "
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
    parser.add_argument("--bytes", type=int, default=1 << 30)
    parser.add_argument("--parallel", type=int, default=8)
    args = parser.parse_args()
    {"slow": slow, "good": good, "flood": flood}[args.mode](args)


if __name__ == "__main__":
    sys.exit(main())
