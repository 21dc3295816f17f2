# A throwaway PostgreSQL cluster on loopback for the server tests.
# shellcheck shell=bash

PG_BIN=${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)}

pg_as() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

start_pg() {
  PG_DIR=$(mktemp -d /tmp/tessaryn-pg-XXXXXX)
  chmod 755 "$PG_DIR"
  if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$PG_DIR"; PG_USER=postgres; else PG_USER=$(id -un); fi
  PG_PORT=$(free_port)
  pg_as "$PG_BIN/initdb" -D "$PG_DIR/data" -U "$PG_USER" --auth=trust --encoding=UTF8 --locale=C.UTF-8 >"$PG_DIR/initdb.log" 2>&1 \
    || { cat "$PG_DIR/initdb.log"; return 1; }
  pg_as "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $PG_PORT -k $PG_DIR -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
    start >/dev/null || { cat "$PG_DIR/server.log"; return 1; }
  export TESSARYN_TEST_PG="host=$PG_DIR port=$PG_PORT user=$PG_USER"
  echo "PostgreSQL test server on 127.0.0.1:$PG_PORT (socket in $PG_DIR)"
}

stop_pg() {
  if [ -n "${PG_DIR:-}" ] && [ -d "$PG_DIR/data" ]; then
    pg_as "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$PG_DIR"
  fi
}
