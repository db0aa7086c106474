#!/usr/bin/env bash
# The client's bounds on a reply, measured through `qrgen wechat` (it posts with
# HttpPost): peak memory and wall time against servers on loopback that send a
# small reply, an endless body as fast as loopback carries it, and a trickle.
# usage: bench/http_reply_bounds.sh BUILD/bin   (needs python3 and GNU time)
set -euo pipefail
bin=${1:?usage: $0 BUILD/bin}
timeout_ms=${VORLANE_HTTP_TIMEOUT_MS:-3000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

server() { # MODE: serves on a free port, written to $work/port
    python3 - "$1" >"$work/port" <<'PY' &
import socket, sys, time
mode = sys.argv[1]
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(4)
print(s.getsockname()[1], flush=True)
while True:
    c, _ = s.accept()
    c.recv(65536)
    try:
        if mode == "small":
            body = b'{"result":1,"info":"http://weixin.qq.com/r/x"}'
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
        elif mode == "endless":
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n")
            chunk = b"[" * 65536
            while True: c.sendall(chunk)
        elif mode == "trickle":
            c.sendall(b'HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{"result":1,"info":"')
            while True: c.sendall(b"x"); time.sleep(0.05)
    except OSError:
        pass
    c.close()
PY
}

printf '%-8s %12s %10s %s\n' reply peak_rss_kb wall_s exit
for mode in small endless trickle; do
    : >"$work/port"
    server "$mode"
    pid=$!
    while [ ! -s "$work/port" ]; do sleep 0.05; done
    port=$(cat "$work/port")
    start=$(date +%s.%N)
    set +e
    VORLANE_API_URL="http://127.0.0.1:$port" VORLANE_HTTP_TIMEOUT_MS=$timeout_ms \
        /usr/bin/time -f %M -o "$work/rss" "$bin/qrgen" wechat --account vorlane -o /dev/null 2>/dev/null
    rc=$?
    set -e
    end=$(date +%s.%N)
    printf '%-8s %12s %10.2f %s\n' "$mode" "$(tail -n 1 "$work/rss")" "$(echo "$end - $start" | bc)" "$rc"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
