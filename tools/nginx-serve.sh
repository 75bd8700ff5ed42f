#!/usr/bin/env bash
# Serves a folder over HTTP on a loopback port with nginx, in the background.
#   nginx-serve.sh start <folder> <port> <run folder>   (prints nothing; nginx.pid in the run folder)
#   nginx-serve.sh stop <run folder>
set -euo pipefail
case "$1" in
start)
  root=$(cd "$2" && pwd); port=$3; run=$4
  mkdir -p "$run/logs" "$run/tmp"
  run=$(cd "$run" && pwd)
  cat > "$run/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $run/nginx.pid;
error_log $run/logs/error.log warn;
events { worker_connections 256; }
http {
  access_log $run/logs/access.log;
  client_body_temp_path $run/tmp;
  proxy_temp_path $run/tmp;
  fastcgi_temp_path $run/tmp;
  uwsgi_temp_path $run/tmp;
  scgi_temp_path $run/tmp;
  types { application/octet-stream exe; }
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
  nginx -c "$run/nginx.conf" -p "$run" -e "$run/logs/error.log"
  ;;
stop)
  run=$2
  [ -f "$run/nginx.pid" ] && kill "$(cat "$run/nginx.pid")" 2>/dev/null || true
  ;;
esac
