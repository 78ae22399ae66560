# nginx.sh start ROOT ADDRESS RATE DONE: serves ROOT/www with the build machine's nginx on
# ADDRESS:80, sending each answer at most RATE bytes a second (nginx's limit_rate, "0" for no
# limit), and logs every request as "URI STATUS BODY_BYTES_SENT RANGE IF_RANGE" to
# ROOT/access.log. Writes nginx's exit code to DONE once it listens (or failed to).
# nginx.sh stop ROOT DONE: ends that nginx and writes DONE once it has gone.
#
# Started by Windows test programs under Wine, which cannot wait for a Linux process they start:
# they wait for DONE instead. A server left behind by a test that never stopped it ends by itself
# after 15 minutes.
set -u
root=$2
case $1 in
  start)
    mkdir -p "$root/www" "$root/tmp"
    cat > "$root/nginx.conf" << EOF
daemon on;
master_process off;
pid "$root/nginx.pid";
error_log "$root/error.log";
events { worker_connections 64; }
http {
  log_format qor '\$request_uri \$status \$body_bytes_sent "\$http_range" "\$http_if_range"';
  access_log "$root/access.log" qor;
  client_body_temp_path "$root/tmp/body";
  proxy_temp_path "$root/tmp/proxy";
  fastcgi_temp_path "$root/tmp/fastcgi";
  uwsgi_temp_path "$root/tmp/uwsgi";
  scgi_temp_path "$root/tmp/scgi";
  default_type application/octet-stream;
  server {
    listen $3:80;
    root "$root/www";
    limit_rate $4;
  }
}
EOF
    /usr/sbin/nginx -p "$root" -c "$root/nginx.conf" > "$root/start.log" 2>&1
    code=$?
    if [ $code = 0 ]; then
      pid=$(cat "$root/nginx.pid")
      setsid sh -c "sleep 900; kill $pid" < /dev/null > /dev/null 2>&1 &
      echo $! > "$root/watchdog.pid"
    fi
    echo $code > "$5.part" && mv "$5.part" "$5"
    ;;
  stop)
    if [ -f "$root/nginx.pid" ]; then
      pid=$(cat "$root/nginx.pid")
      kill "$pid" 2> /dev/null
      for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
    fi
    [ -f "$root/watchdog.pid" ] && kill -- "-$(cat "$root/watchdog.pid")" 2> /dev/null
    echo 0 > "$3.part" && mv "$3.part" "$3"
    ;;
esac
