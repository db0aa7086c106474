# Shell helpers shared by run.sh, the end-to-end tests and the bench scripts.

# vorlane_cert DIR: a self-signed certificate for 127.0.0.1 in DIR/cert.pem and DIR/key.pem, made once.
vorlane_cert() {
  local dir=$1
  [ -s "$dir/cert.pem" ] && [ -s "$dir/key.pem" ] && return 0
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 3650 \
    -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
}

# vorlane_start_api OUT VENDOR_API [ARGS...]: starts the stand-in on a free loopback port with its output in OUT
# and waits until it listens; sets api_pid and api_url, or says why and fails after 10 s.
vorlane_start_api() {
  local out=$1
  shift
  : >"$out"
  "$@" --listen 127.0.0.1:0 >"$out" 2>&1 &
  api_pid=$!
  for _ in $(seq 100); do
    api_url=$(sed -n 's/^listening on //p' "$out")
    [ -n "$api_url" ] && return 0
    kill -0 "$api_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "vendor-api did not start:" >&2
  cat "$out" >&2
  return 1
}

# vorlane_scratch: a scratch folder in $work, removed on exit together with the stand-in that vorlane_start_api began.
vorlane_scratch() {
  work=$(mktemp -d)
  api_pid=""
  trap '[ -n "$api_pid" ] && kill "$api_pid" 2>/dev/null; rm -rf "$work"' EXIT
}
