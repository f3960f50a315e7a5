#!/usr/bin/env bash
# davu-server.service as built: systemd-analyze verify finds nothing to say,
# the hardening the service relies on is there, and systemd's own exposure
# rating stays low.
set -euo pipefail
unit=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# verify checks that ExecStart's program exists; the unit names its installed
# path, so it is checked in a copy whose program is this build's.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exe=$2
sed "s|^ExecStart=[^ ]*|ExecStart=$exe|" "$unit" >"$work/davu-server.service"
out=$(SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no "$work/davu-server.service" 2>&1) ||
  fail "systemd-analyze verify: $out"
[ -z "$out" ] || fail "systemd-analyze verify: $out"

for setting in DynamicUser=yes StateDirectory=davu-server ProtectSystem=strict ProtectHome=yes \
  NoNewPrivileges=yes PrivateTmp=yes 'RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX' \
  Restart=on-failure 'EnvironmentFile=-'; do
  grep -q "^$setting" "$unit" || fail "the unit lacks $setting"
done
grep -q '^ExecStart=.* --db /var/lib/davu-server/' "$unit" || fail "the database is not in the state directory"

# "exposure" goes from 0.0 (locked down) to 10.0 (nothing restricted).
rating=$(systemd-analyze security --offline=yes --no-pager "$work/davu-server.service" 2>/dev/null |
  sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p')
[ -n "$rating" ] || fail "systemd-analyze security gave no rating"
awk -v r="$rating" 'BEGIN { exit !(r <= 2.5) }' || fail "exposure $rating is above 2.5"
# Every call of the restricted groups that the server's code makes must pass
# the unit's filter, or it fails silently (EPERM) under the service. The filter
# is worked out as systemd does: the first line's list is what is allowed, a
# later line with "~" takes calls away, one without adds them.
sources=$3
expand() {  # the calls of a group or call names, groups within groups included
  local item
  for item in "$@"; do
    if [[ $item == @* ]]; then
      expand $(systemd-analyze syscall-filter --no-pager "$item" | sed -n 's/^    \([@a-z0-9_]*\)$/\1/p')
    else
      echo "$item"
    fi
  done
}
declare -A allowed=()
while IFS= read -r line; do
  list=${line#SystemCallFilter=}
  if [[ $list == "~"* ]]; then
    for c in $(expand ${list#"~"}); do unset "allowed[$c]"; done
  else
    for c in $(expand $list); do allowed[$c]=1; done
  fi
done < <(grep '^SystemCallFilter=' "$unit")
[ ${#allowed[@]} -gt 100 ] || fail "the unit's system call filter could not be read"
for c in $(expand @privileged @resources | sort -u); do
  if grep -rqE "\b$c[[:space:]]*\(" --include='*.cpp' "$sources"; then
    [ -n "${allowed[$c]:-}" ] || fail "the server calls $c, which the unit's SystemCallFilter forbids"
    echo "the server calls $c: allowed by the unit"
  fi
done
echo "service test passed: exposure $rating"
