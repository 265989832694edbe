#!/usr/bin/env bash
# Drives the real program as a screen reader would: under Xvfb, on its own session bus with the
# accessibility bus, through AT-SPI. Exits 77 (skipped) when the pieces are not installed.
# Usage: run.sh STAGE_DIR
set -euo pipefail
stage=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export KV6_DOCUMENTS=$home/documents KV6_LOCAL_APPDATA=$home/local KV6_COMMON_APPDATA=$home/common \
  KV6_USER_REGISTRY=$home/user.db KV6_MACHINE_REGISTRY=$home/machine.db \
  XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime KV6_DATABASE=$home/demo.db
mkdir -m 0700 "$home/runtime"
"$stage/bin/kv6data" init --db "$home/demo.db" --quiet
"$stage/bin/kv6data" demo --jobs 500 --companies 1 --db "$home/demo.db" --quiet

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 KV6_PROGRAM="$stage/reporter/kv6reprt"
# An X server that dies while starting (seen once in a full parallel run) is tried again; any
# other failure is the test's.
# The X server's own words go to a log that is shown when it was gone.
for attempt in 1 2 3; do
  status=0
  xvfb-run -a -e "$home/xvfb.log" -s "-screen 0 1280x1024x24" \
    dbus-run-session -- /usr/bin/python3 "$here/drive.py" >"$home/out.log" 2>&1 || status=$?
  grep -v 'fd limit' "$home/out.log"
  grep -q 'could not connect to display' "$home/out.log" || exit $status
  echo "the X server was gone; trying again. It said:"
  cat "$home/xvfb.log" 2>/dev/null || true
  sleep 2
done
exit $status
