#!/usr/bin/env bash
# The end-to-end tests' download server: nginx on a loopback port serving the demo
# installer, padded to a size that takes several seconds at a limited rate, so a person
# (and the tests) can watch the download. A control file lets a test take the server away
# and bring it back:  echo stop > $run/control  /  echo start > $run/control
#   server.sh start <port> <run folder> <installer.exe> <size MiB> <rate per connection>
#   server.sh stop <run folder>
set -euo pipefail

write_config() {  # run port rate
  cat > "$1/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $1/nginx.pid;
error_log $1/logs/error.log warn;
events { worker_connections 512; }
http {
  log_format ranges '\$msec \$status \$request_method \$uri "\$http_range" \$bytes_sent';
  access_log $1/logs/access.log ranges;
  client_body_temp_path $1/tmp;
  proxy_temp_path $1/tmp;
  fastcgi_temp_path $1/tmp;
  uwsgi_temp_path $1/tmp;
  scgi_temp_path $1/tmp;
  types { application/octet-stream exe; }
  server {
    listen 127.0.0.1:$2;
    root $1/www;
    limit_rate $3;
  }
}
CONF
}

start_nginx() { nginx -c "$1/nginx.conf" -p "$1" -e "$1/logs/error.log"; }
stop_nginx() { [ -f "$1/nginx.pid" ] && kill "$(cat "$1/nginx.pid")" 2>/dev/null; rm -f "$1/nginx.pid"; sleep 0.3; }

case "$1" in
start)
  port=$2; run=$3; installer=$4; size_mib=$5; rate=$6
  "$0" stop "$run" 2>/dev/null || true
  rm -rf "$run"; mkdir -p "$run/www" "$run/logs" "$run/tmp"
  run=$(cd "$run" && pwd)
  cp "$installer" "$run/www/TalvenorSetup.exe"
  # Appended bytes do not stop a Windows program from running.
  truncate -s "$((size_mib * 1024 * 1024))" "$run/www/TalvenorSetup.exe"
  write_config "$run" "$port" "$rate"
  start_nginx "$run"
  : > "$run/control"
  # Obeys the control file for at most 30 minutes, then stops everything by itself.
  (
    for _ in $(seq 36000); do
      case "$(cat "$run/control" 2>/dev/null)" in
        stop) stop_nginx "$run"; echo stopped > "$run/state"; : > "$run/control" ;;
        start) start_nginx "$run"; echo started > "$run/state"; : > "$run/control" ;;
        quit) break ;;
      esac
      sleep 0.05
    done
    stop_nginx "$run"
  ) >/dev/null 2>&1 &
  echo $! > "$run/control.pid"
  ;;
stop)
  run=$2
  [ -d "$run" ] || exit 0
  [ -f "$run/control.pid" ] && kill "$(cat "$run/control.pid")" 2>/dev/null || true
  stop_nginx "$run" || true
  ;;
esac
