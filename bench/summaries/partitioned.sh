#!/bin/bash
# A year of 100M jobs on PostgreSQL with the job table partitioned by month, in a throw-away
# cluster of its own (loopback, its own port, fsync off: a bench, not a site): where the design
# goes when a site outgrows one SQLite file.
#
#   partitioned.sh STAGE WORK load [JOBS]   initdb, schema, a 1M-job demo year (the bench's own
#                                           5,000 users and 200 printers), multiplied in SQL to
#                                           JOBS (default 100,000,000), summaries
#   partitioned.sh STAGE WORK copy K1 K2    copies K1..K2 of the demo jobs (to resume a load)
#   partitioned.sh STAGE WORK finish        the summaries (to resume a load)
#   partitioned.sh STAGE WORK reports       every catalogue report (KV6_BENCH_REPORTS=a.rpt,...
#                                           for some) as a whole kv6report to PDF, twice each
#   partitioned.sh STAGE WORK check         kv6data summaries --check, timed
#   partitioned.sh STAGE WORK drop          stops the cluster and deletes WORK
#
# STAGE is the build's stage folder (build/stage). Run it nice'd: the machine is shared.
# Each copy of a demo job keeps its printer, day and figures; it moves a few seconds later
# (within its day) and to one of the next three users, so the summaries hold more rows than the
# demo's own and each user prints to a few printers, as at a large site.
set -euo pipefail

stage=$(realpath "$1")
work=$2
what=$3
jobs=${4:-100000000}
first=2025-07-01
last=2026-06-30
pgbin=$(ls -d /usr/lib/postgresql/*/bin | tail -1)

as_postgres() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
port() { cat "$work/port"; }
url() { echo "postgresql://postgres@127.0.0.1:$(port)/kv6"; }
sql() { as_postgres "$pgbin/psql" -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$(port)" -U postgres -d kv6 "$@"; }
stamp() { echo "$(date -u +%H:%M:%S) $*"; }
timed() {
  local start=$SECONDS
  "$@"
  echo "  $((SECONDS - start)) s"
}

# The cluster stays on disk between runs; a reboot stops it.
ensure_cluster() {
  as_postgres "$pgbin/pg_ctl" -D "$work/data" status >/dev/null 2>&1 || start_cluster
}

start_cluster() {
  as_postgres "$pgbin/pg_ctl" -D "$work/data" -w -l "$work/server.log" -o "-c listen_addresses=127.0.0.1 -p $(port) -k $work -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_wal_size=8GB -c shared_buffers=2GB -c work_mem=256MB -c maintenance_work_mem=1GB -c max_parallel_maintenance_workers=1 -c max_parallel_workers_per_gather=1" start >/dev/null
}

# Copies k = FIRST..LAST of the demo jobs, ten a transaction; two run side by side.
copy() {
  local start=$SECONDS k to
  for ((k = $1; k <= $2; k += 10)); do
    to=$((k + 9 < $2 ? k + 9 : $2))
    sql -c "BEGIN" -c "SELECT set_config('kv6.summaries', 'suspended', true)" -c "
      INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, computer, document_name,
        pages, color_pages, copies, duplex, paper_size, size_bytes, job_status, job_cost)
      SELECT j.company_id, (SELECT MIN(user_id) FROM users) + (j.user_id - (SELECT MIN(user_id) FROM users) + k % 4) % (SELECT COUNT(*) FROM users),
        j.printer_id, LEAST(j.job_time + k * interval '7 seconds', date_trunc('day', j.job_time) + interval '86399 seconds'),
        j.computer, j.document_name, j.pages, j.color_pages, j.copies, j.duplex, j.paper_size,
        j.size_bytes, j.job_status, j.job_cost
      FROM kv6_seed j CROSS JOIN generate_series($k, $to) k" -c "COMMIT" >/dev/null
    stamp "copies $k to $to: $((SECONDS - start)) s"
  done
}

# The summaries of all the jobs (the copies were written with the triggers suspended; the
# indexes were kept up to date row by row).
finish() {
  sql -c "DROP TABLE kv6_seed" -c "VACUUM ANALYZE"
  stamp "summaries rebuilt"
  timed "$stage/bin/kv6data" summaries --rebuild --db "$(url)"
  sql -c "VACUUM ANALYZE"
  "$stage/bin/kv6data" info --db "$(url)"
  sql -c "SELECT pg_size_pretty(pg_database_size('kv6')) AS size, (SELECT COUNT(*) FROM print_job_days) AS day_rows, (SELECT COUNT(*) FROM print_job_months) AS month_rows"
}

case $what in
load)
  mkdir -p "$work"
  if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$work"; fi
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' >"$work/port"
  as_postgres "$pgbin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$work/initdb.log"
  start_cluster
  as_postgres "$pgbin/createdb" -h 127.0.0.1 -p "$(port)" -U postgres kv6
  stamp "schema, partitioned by month"
  "$stage/bin/kv6data" init --partition-by-month --from $first --to $last --db "$(url)"
  stamp "demo year of 1,000,000 jobs"
  timed "$stage/bin/kv6data" demo --quiet --jobs 1000000 --seed 5 --companies 1 --printers 200 \
    --users 5000 --days 365 --end $last --db "$(url)"
  copies=$(((jobs + 999999) / 1000000 - 1))
  stamp "$copies copies of the demo jobs"
  sql -c "CREATE TABLE kv6_seed AS SELECT * FROM print_jobs"
  copy 1 $((copies / 2)) &
  copy $((copies / 2 + 1)) $copies &
  wait
  finish
  ;;
copy)
  ensure_cluster
  copy "$4" "$5"
  ;;
finish)
  ensure_cluster
  finish
  ;;
reports)
  ensure_cluster
  out=$work/out.pdf
  printf '%-44s %9s %9s\n' "kv6report to PDF, seconds" first second
  for f in $(ls "$stage/reporter/reports" | grep '\.rpt$'); do
    if [ -n "${KV6_BENCH_REPORTS:-}" ] && [[ ",$KV6_BENCH_REPORTS," != *",$f,"* ]]; then continue; fi
    times=()
    for run in 1 2; do
      s=$(date +%s.%N)
      "$stage/bin/kv6report" --quiet --db "$(url)" --definitions "$stage/reporter/reports" \
        --report "$f" --company 1 --from $first --to $last -o "$out"
      times+=("$(echo "$(date +%s.%N) - $s" | bc)")
    done
    printf '%-44s %9.2f %9.2f\n' "$f" "${times[0]}" "${times[1]}"
  done
  rm -f "$out"
  ;;
check)
  ensure_cluster
  timed "$stage/bin/kv6data" summaries --check --db "$(url)"
  ;;
drop)
  as_postgres "$pgbin/pg_ctl" -D "$work/data" -m fast -w stop >/dev/null || true
  rm -rf "$work"
  ;;
*)
  echo "usage: partitioned.sh STAGE WORK load|reports|check|drop [JOBS]" >&2
  exit 2
  ;;
esac
