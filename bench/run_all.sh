#!/usr/bin/env bash
# Every benchmark of the project in one go, against servers started here on
# 127.0.0.1, next to the curl and wget command lines on the same files; prints
# one table. Builds what it needs with the dev preset. About 70 s on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly REPETITIONS=5
readonly REQUEST_MB=50
readonly DOWNLOAD_RUNS=5
# A small and a large file, so peak memory shows whether it grows with the size.
readonly SMALL_MIB=64
readonly LARGE_MIB=1024
readonly BENCH=build/dev/bench

work=$(mktemp -d)
# Scratch folders of the stages (the scripted server's 50 MB body) land in
# $work, so even a stage stopped midway leaves nothing behind.
export TMPDIR=$work
nginx_pid=
service_pid=
stage_pid=
cleanup() {
  # Each stage runs in a session of its own, so its helpers (the scripted
  # server of http_bench) go with it.
  if [[ -n $stage_pid ]]; then kill -- "-$stage_pid" 2>/dev/null || true; fi
  local pid
  for pid in $nginx_pid $service_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build() {
  bash scripts/install-deps.sh programs tests
  echo "== building" >&2
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target text_bench progress_bench http_bench download_fetch window_bench \
    site_part_bench pindlewick-cli >/dev/null
}

# The served files are sparse and each download writes one copy at a time;
# keep room for two of the large one.
check_disk_space() {
  local free_kib
  free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
  if ((free_kib < 2 * LARGE_MIB * 1024)); then
    echo "need $((2 * LARGE_MIB)) MiB free in $work" >&2
    exit 1
  fi
}

# Runs one command in a session of its own and waits, so a Ctrl-C or a
# failure stops it and everything it started.
run_stage() {
  setsid "$@" &
  stage_pid=$!
  wait "$stage_pid"
  stage_pid=
}

# Google Benchmark program NAME with its medians as JSON in $work/NAME.json.
google_benchmark() {
  local name=$1
  shift
  echo "== $name" >&2
  run_stage "$BENCH/$name" --benchmark_repetitions="$REPETITIONS" --benchmark_report_aggregates_only=true \
    --benchmark_format=json --benchmark_out="$work/$name.json" "$@" >/dev/null
}

start_nginx() {
  local port
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir -p "$work/www"
  cat >"$work/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off; sendfile on;
  client_body_temp_path $work/body; proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi; uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
  /usr/sbin/nginx -e "$work/error.log" -p "$work" -c "$work/nginx.conf" &
  nginx_pid=$!
  local attempt
  for attempt in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null && break
    ((attempt < 100)) || { echo "nginx did not start" >&2; exit 1; }
    sleep 0.05
  done
  nginx_url="http://127.0.0.1:$port"
}

# The tests' stand-in parse service, whose part 1 links to the small file and
# part 2 to the large one, for the command line's whole pipeline.
start_parse_service() {
  coproc service { exec python3 tests/app/parse_service.py --link 1 "$nginx_url/$SMALL_MIB.bin" \
    --link 2 "$nginx_url/$LARGE_MIB.bin"; }
  service_pid=$service_PID
  local port
  read -r port <&"${service[0]}"
  service_url="http://127.0.0.1:$port"
}

# Fetches one served file to disk with one tool; appends "mib tool
# nanoseconds peak_rss_kib" to $work/download.txt. The command line asks the
# parse service first and names the file itself.
download_once() {
  local tool=$1 mib=$2 output=$work/out.bin url=$nginx_url/$2.bin size=$(($2 << 20))
  local -a command
  case $tool in
    downloadFile) command=("$BENCH/download_fetch" "$url" "$output") ;;
    cli)
      local part=$((mib == SMALL_MIB ? 1 : 2))
      output="$work/第${part}集 教程.bin"  # the extension comes from the link
      command=(build/dev/app/cli/pindlewick-cli --service "$service_url" https://www.example.com/video/BV1
        "$part" "$part" "$work/")
      ;;
    curl) command=(curl -s -o "$output" "$url") ;;
    wget) command=(wget -q -O "$output" "$url") ;;
  esac
  rm -f "$output"
  # Each run starts after the last one's file has reached the disk, so no
  # tool pays for another's write-back.
  sync
  local start end
  start=$(date +%s%N)
  # Only the file counts; what a tool says (the command line's summary) is not shown.
  run_stage /usr/bin/time -f %M -o "$work/rss" "${command[@]}" >/dev/null 2>>"$work/tools.log"
  end=$(date +%s%N)
  [[ $(stat -c %s "$output") == "$size" ]] || { echo "short file from $tool" >&2; exit 1; }
  echo "$mib $tool $((end - start)) $(<"$work/rss")" >>"$work/download.txt"
  rm -f "$output"
}

download_benchmark() {
  echo "== downloadFile, the command line, curl and wget: $SMALL_MIB and $LARGE_MIB MiB to disk" >&2
  local run mib tool
  # The tools take turns, so a slow moment of the machine hits all of them.
  for run in $(seq "$DOWNLOAD_RUNS"); do
    for mib in "$SMALL_MIB" "$LARGE_MIB"; do
      for tool in downloadFile cli curl wget; do
        download_once "$tool" "$mib"
      done
    done
  done
}

# The window downloads the large file in one batch; appends
# "longest_stall_ms window_thread_cpu_percent" to $work/window.txt.
window_benchmark() {
  echo "== the window during a $LARGE_MIB MiB download" >&2
  local run stall cpu saved
  for run in $(seq "$DOWNLOAD_RUNS"); do
    sync
    run_stage "$BENCH/window_bench" "$nginx_url/$LARGE_MIB.bin" >"$work/window_run.txt"
    read -r stall cpu saved <"$work/window_run.txt"
    [[ $saved == $((LARGE_MIB << 20)) ]] || { echo "short file from the window" >&2; exit 1; }
    echo "$stall $cpu" >>"$work/window.txt"
  done
}

# nginx serves both files, made once and sparse, to the window and the tools.
downloads() {
  start_nginx
  truncate -s "${SMALL_MIB}M" "$work/www/$SMALL_MIB.bin"
  truncate -s "${LARGE_MIB}M" "$work/www/$LARGE_MIB.bin"
  start_parse_service
  window_benchmark
  download_benchmark
  rm -f "$work/www/"*.bin
}

# The built-in resolver against the fixture site: "median_ms first_part_ms"
# per run in $work/site.txt.
site_benchmark() {
  echo "== the built-in resolver, per part" >&2
  local run
  for run in $(seq "$REPETITIONS"); do
    run_stage "$BENCH/site_part_bench" >>"$work/site.txt"
  done
}

started=$(date +%s)
build
check_disk_space
google_benchmark text_bench
google_benchmark progress_bench
google_benchmark http_bench --benchmark_filter="/$REQUEST_MB/"
site_benchmark
downloads
python3 bench/bench_table.py "$work" "$REQUEST_MB" "$SMALL_MIB" "$LARGE_MIB"
echo "total: $(($(date +%s) - started)) s on $(nproc) cores"
