#!/usr/bin/env bash
# Download throughput against curl: nginx on 127.0.0.1 serves a 64 MiB and a
# 1 GiB file; each is fetched to disk three times by downloadFile (with the
# progress row into a silent window) and three times by `curl -s -o`, in turn.
# Prints MB/s, the ratio of the medians, and the peak resident memory.
# Needs the default build: cmake --preset default && cmake --build --preset default
set -euo pipefail
cd "$(dirname "$0")/.."

fetch=build/default/bench/download_fetch
[[ -x $fetch ]] || { echo "build the default preset first" >&2; exit 1; }

work=$(mktemp -d)
nginx_pid=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www"
truncate -s 64M "$work/www/64MiB.bin"
truncate -s 1G "$work/www/1GiB.bin"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
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
until python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null; do
  sleep 0.05
done

# Runs one command; prints seconds and the peak RSS (KiB) of that child.
measure() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], check=True)
print("%.3f %d" % (time.monotonic() - start, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))
PY
}

for name in 64MiB 1GiB; do
  url="http://127.0.0.1:$port/$name.bin"
  size=$(stat -c %s "$work/www/$name.bin")
  declare -A speeds=([downloadFile]="" [curl]="")
  # Runs alternate, each after the last one's file has reached the disk, so
  # neither tool pays for the other's write-back.
  for run in 1 2 3; do
    for tool in downloadFile curl; do
      rm -f "$work/out.bin"
      sync
      if [[ $tool == curl ]]; then
        read -r seconds rss < <(measure curl -s -o "$work/out.bin" "$url")
      else
        read -r seconds rss < <(measure "$fetch" "$url" "$work/out.bin")
      fi
      [[ $(stat -c %s "$work/out.bin") == "$size" ]] || { echo "short file from $tool" >&2; exit 1; }
      mbps=$(python3 -c "print('%.0f' % ($size / 1e6 / $seconds))")
      speeds[$tool]+="$mbps "
      printf '%-5s %-12s run %d: %6s MB/s  peak RSS %6d KiB\n' "$name" "$tool" "$run" "$mbps" "$rss"
    done
  done
  python3 -c "
import statistics, sys
ours = statistics.median(map(float, '${speeds[downloadFile]}'.split()))
theirs = statistics.median(map(float, '${speeds[curl]}'.split()))
print('%-5s median: downloadFile %.0f MB/s, curl %.0f MB/s, ratio %.2f' % ('$name', ours, theirs, ours / theirs))"
  rm -f "$work/out.bin"
done
