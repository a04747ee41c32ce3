# Sourced by the benchmark scripts: a free port of 127.0.0.1, and nginx serving a folder there
# with a configuration of its own in a temporary folder (no system configuration, no root).

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# start_local_nginx <work folder> <port> <site folder> <types block content>
# Starts nginx in the background and sets NGINX_PID; its files live under <work folder>/nginx.
start_local_nginx() {
    local work=$1 port=$2 site=$3 types=$4
    mkdir -p "$work/nginx/logs" "$work/nginx/tmp"
    cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
error_log $work/nginx/logs/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 256; }
http {
    access_log off;
    sendfile on;
    keepalive_requests 100000;
    client_body_temp_path $work/nginx/tmp/body;
    proxy_temp_path $work/nginx/tmp/proxy;
    fastcgi_temp_path $work/nginx/tmp/fastcgi;
    uwsgi_temp_path $work/nginx/tmp/uwsgi;
    scgi_temp_path $work/nginx/tmp/scgi;
    types { $types }
    server {
        listen 127.0.0.1:$port;
        root $site;
    }
}
CONF
    "$(command -v nginx || echo /usr/sbin/nginx)" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
    NGINX_PID=$!
}
