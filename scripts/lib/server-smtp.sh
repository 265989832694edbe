# SMTP for the tests: Debian's aiosmtpd (run with Debian's own /usr/bin/python3) on 127.0.0.1 at
# a free port, keeping every message in $KV6_SERVER_DIR/smtp/spool. Recipients at refused.invalid
# are refused with 550. Exports KV6_SMTP_HOST, KV6_SMTP_PORT, KV6_SMTP_SPOOL and the one login the
# server accepts, KV6_SMTP_USER and KV6_SMTP_PASSWORD; when openssl is there, KV6_SMTP_TLS_PORT is a
# second server that insists on STARTTLS with a self-signed certificate no client trusts.

KV6_SMTP_PID=""

kv6_start_server_smtp() {
  if ! /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null; then
    echo "server-smtp: python3-aiosmtpd is not installed; mail tests will be skipped" >&2
    return 0
  fi
  local root="$KV6_SERVER_DIR/smtp" port tls_port="" i
  local tls=()
  mkdir -p "$root/spool"
  port=$(kv6_free_port)
  if openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$root/key.pem" -out "$root/cert.pem" \
    >/dev/null 2>&1; then
    tls_port=$(kv6_free_port)
    tls=(--tls-port "$tls_port" --cert "$root/cert.pem" --key "$root/key.pem")
  fi
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/smtp-server.py" --port "$port" \
    --spool "$root/spool" --user kv6mail --password 'kv6-mail pw' "${tls[@]}" \
    >"$root/server.log" 2>&1 &
  KV6_SMTP_PID=$!
  for i in $(seq 1 100); do
    if /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" \
      2>/dev/null; then
      export KV6_SMTP_HOST=127.0.0.1 KV6_SMTP_PORT=$port KV6_SMTP_SPOOL="$root/spool"
      export KV6_SMTP_USER=kv6mail KV6_SMTP_PASSWORD='kv6-mail pw'
      if [ -n "$tls_port" ]; then export KV6_SMTP_TLS_PORT=$tls_port; fi
      echo "server-smtp: aiosmtpd on 127.0.0.1:$port" >&2
      return 0
    fi
    if ! kill -0 "$KV6_SMTP_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  cat "$root/server.log" >&2
  kv6_stop_server_smtp
  return 1
}

kv6_stop_server_smtp() {
  if [ -n "$KV6_SMTP_PID" ]; then
    kill "$KV6_SMTP_PID" 2>/dev/null || true
    wait "$KV6_SMTP_PID" 2>/dev/null || true
  fi
  KV6_SMTP_PID=""
  unset KV6_SMTP_HOST KV6_SMTP_PORT KV6_SMTP_SPOOL KV6_SMTP_USER KV6_SMTP_PASSWORD \
    KV6_SMTP_TLS_PORT
}
