#!/usr/bin/env bash
# Serves a folder over HTTP on a loopback port with nginx, in the background.
#   nginx-serve.sh start <folder> <port> <run folder>   (prints nothing; nginx.pid in the run folder)
#   nginx-serve.sh stop <run folder>
# Optional, from the environment (unset: none of it):
#   NGINX_SERVE_LIMIT_RATE      limit_rate of every response, e.g. 1m (nginx units: 1m = 1 MiB/s)
#   NGINX_SERVE_HTTP_INCLUDE    a file of extra directives at http level (log_format, map, ...)
#   NGINX_SERVE_SERVER_INCLUDE  a file of extra directives inside the server block
set -euo pipefail
case "$1" in
start)
  root=$(cd "$2" && pwd); port=$3; run=$4
  mkdir -p "$run/logs" "$run/tmp"
  run=$(cd "$run" && pwd)
  http_extra=""; server_extra=""
  [ -n "${NGINX_SERVE_HTTP_INCLUDE:-}" ] && http_extra="include $(realpath "$NGINX_SERVE_HTTP_INCLUDE");"
  [ -n "${NGINX_SERVE_SERVER_INCLUDE:-}" ] && server_extra="include $(realpath "$NGINX_SERVE_SERVER_INCLUDE");"
  [ -n "${NGINX_SERVE_LIMIT_RATE:-}" ] && server_extra="limit_rate $NGINX_SERVE_LIMIT_RATE; $server_extra"
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
  $http_extra
  server {
    listen 127.0.0.1:$port;
    root $root;
    $server_extra
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
