# A throwaway PostgreSQL cluster for the tests and benches: its own data
# folder under /tmp, a free loopback port and a socket folder of its own.
# Sourced by scripts/test and scripts/bench:
#   rvz_pg_start     starts it; sets RVZ_PG_PORT, RVZ_PG_USER, RVZ_PG_SOCKET
#                    (returns 0 with RVZ_PG_PORT empty when no server binaries exist)
#                    and RVZ_PG_PASSWORD_GROUP
#   rvz_pg_stop      stops it and removes its folder (safe to call twice)
# The caller arranges for rvz_pg_stop on exit (trap rvz_pg_stop EXIT).
rvz_pg_dir=""
rvz_pg_bin=""
rvz_pg_as=()
RVZ_PG_PORT=""
RVZ_PG_USER=""
RVZ_PG_SOCKET=""
# Every other login is trusted; members of this group role must give their
# password (scram-sha-256) over TCP, so that tests can see a wrong password
# refused. The cluster's owner is no member, so the benches and the other
# tests connect as before.
RVZ_PG_PASSWORD_GROUP=""
rvz_pg_password_group=rvz_pw

rvz_pg_stop() {
  if [ -n "$rvz_pg_dir" ]; then
    "${rvz_pg_as[@]}" "$rvz_pg_bin/pg_ctl" -D "$rvz_pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$rvz_pg_dir"
    rvz_pg_dir=""
  fi
}

rvz_pg_start() {
  rvz_pg_bin=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  if [ -z "$rvz_pg_bin" ] || [ ! -x "$rvz_pg_bin/initdb" ]; then
    echo "no PostgreSQL server binaries under /usr/lib/postgresql" >&2
    return 0
  fi
  rvz_pg_dir=$(mktemp -d /tmp/rvz-pg.XXXXXX) || return 1
  local user
  user=$(id -un)
  # initdb and postgres refuse to run as root.
  if [ "$(id -u)" -eq 0 ]; then
    user=rvzpg
    id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || return 1
    chown "$user" "$rvz_pg_dir" || return 1
    rvz_pg_as=(runuser -u "$user" --)
  fi
  chmod 700 "$rvz_pg_dir"
  "${rvz_pg_as[@]}" "$rvz_pg_bin/initdb" -D "$rvz_pg_dir/data" -U "$user" -A trust -E UTF8 --locale=C.UTF-8 \
    --no-sync >"$rvz_pg_dir/initdb.log" 2>&1 || { cat "$rvz_pg_dir/initdb.log" >&2; return 1; }
  "${rvz_pg_as[@]}" mkdir "$rvz_pg_dir/sock" || return 1
  # The first matching line wins: the password line goes before initdb's
  # trust lines.
  local hba="$rvz_pg_dir/data/pg_hba.conf"
  { echo "host all +$rvz_pg_password_group 127.0.0.1/32 scram-sha-256"; cat "$hba"; } >"$rvz_pg_dir/hba.new" &&
    "${rvz_pg_as[@]}" tee "$hba" <"$rvz_pg_dir/hba.new" >/dev/null || return 1
  local port _
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue  # taken
    if "${rvz_pg_as[@]}" "$rvz_pg_bin/pg_ctl" -D "$rvz_pg_dir/data" -l "$rvz_pg_dir/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $rvz_pg_dir/sock -c fsync=off" start >/dev/null; then
      RVZ_PG_PORT=$port
      RVZ_PG_USER=$user
      RVZ_PG_SOCKET=$rvz_pg_dir/sock
      "${rvz_pg_as[@]}" "$rvz_pg_bin/psql" -h "$RVZ_PG_SOCKET" -p "$port" -U "$user" -d postgres -qAt \
        -c "CREATE ROLE $rvz_pg_password_group NOLOGIN" >/dev/null || return 1
      RVZ_PG_PASSWORD_GROUP=$rvz_pg_password_group
      return 0
    fi
  done
  cat "$rvz_pg_dir/server.log" >&2
  return 1
}
