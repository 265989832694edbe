# Real servers for the tests, on loopback only, in temporary folders. Sourced by scripts/test.
# Each server exports the variables its tests read; a test whose variable is unset is skipped.

KV6_SERVER_DIR=""

kv6_start_servers() {
  KV6_SERVER_DIR=$(mktemp -d /tmp/kv6-servers.XXXXXX)
  chmod 755 "$KV6_SERVER_DIR"
  for f in $(declare -F | awk '{print $3}' | grep '^kv6_start_server_'); do
    "$f"
  done
}

kv6_stop_servers() {
  for f in $(declare -F | awk '{print $3}' | grep '^kv6_stop_server_'); do
    "$f" || true
  done
  if [ -n "$KV6_SERVER_DIR" ]; then rm -rf "$KV6_SERVER_DIR"; fi
  KV6_SERVER_DIR=""
}

# A free TCP port on 127.0.0.1.
kv6_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

for f in "$(dirname "${BASH_SOURCE[0]}")"/server-*.sh; do
  if [ -e "$f" ]; then source "$f"; fi
done
