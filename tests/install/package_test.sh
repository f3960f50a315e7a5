#!/usr/bin/env bash
# scripts/package builds both Debian packages: their fields and contents are
# right, they unpack into a throw-away dpkg root, and lintian finds no error
# or warning in them.
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DAVU_BUILD_DIR="$build" DAVU_PACKAGE_DIR="$work/out" "$src/scripts/package" >/dev/null
version=$("$build/server/davu-server" --version | cut -d' ' -f2)
arch=$(dpkg --print-architecture)
admin="$work/out/davu-admin_${version}-1_${arch}.deb"
server="$work/out/davu-server_${version}-1_${arch}.deb"
[ -f "$admin" ] && [ -f "$server" ] || fail "expected $admin and $server, got: $(ls "$work/out")"

# Fields: names, sections, and library dependencies worked out from the binaries.
expect_field() {  # deb field pattern
  local value
  value=$(dpkg-deb -f "$1" "$2")
  grep -Eq "$3" <<<"$value" || fail "$(basename "$1"): $2 is \"$value\", expected /$3/"
}
expect_field "$admin" Package '^davu-admin$'
expect_field "$admin" Section '^misc$'
expect_field "$admin" Depends 'libqt6widgets6'
expect_field "$admin" Description '^administration program of the DAVU calling system'
expect_field "$server" Package '^davu-server$'
expect_field "$server" Section '^net$'
expect_field "$server" Depends 'libsqlite3-0'
expect_field "$server" Depends 'libqt6network6'
expect_field "$server" Description '^server of the DAVU calling system'
for deb in "$admin" "$server"; do
  expect_field "$deb" Version "^${version//./\\.}-1\$"
  expect_field "$deb" Architecture "^$arch\$"
  expect_field "$deb" Maintainer '.+ <.+@.+>'
done
if dpkg-deb -f "$server" Depends | grep -q 'libqt6widgets6\|libqt6gui6'; then
  fail "davu-server depends on the GUI libraries"
fi

# Contents.
expect_files() {  # deb path...
  local deb=$1 listing
  shift
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in "$@"; do
    grep -qx "\./$f" <<<"$listing" || fail "$(basename "$deb") lacks /$f"
  done
}
expect_files "$admin" usr/bin/davu-admin usr/share/applications/davu-admin.desktop \
  usr/share/icons/hicolor/scalable/apps/davu-admin.svg usr/share/icons/hicolor/48x48/apps/davu-admin.png \
  usr/share/man/man1/davu-admin.1.gz usr/share/doc/davu-admin/copyright \
  usr/share/doc/davu-admin/changelog.Debian.gz usr/share/doc/davu-admin/README.md
expect_files "$server" usr/bin/davu-server lib/systemd/system/davu-server.service etc/default/davu-server \
  usr/share/man/man8/davu-server.8.gz usr/share/doc/davu-server/copyright \
  usr/share/doc/davu-server/changelog.Debian.gz
# Listings are read whole before they are searched: with pipefail, a grep -q
# that stops at its first match would fail the pipeline through the writer's
# SIGPIPE.
if grep -q davu-server <<<"$(dpkg-deb -c "$admin")"; then fail "davu-admin carries the server"; fi
conffiles=$(dpkg-deb --ctrl-tarfile "$server" | tar -xO ./conffiles)
grep -qx /etc/default/davu-server <<<"$conffiles" || fail "/etc/default/davu-server is not a conffile"
control=$(dpkg-deb --ctrl-tarfile "$server" | tar -t)
for script in postinst prerm postrm; do
  grep -qx "\./$script" <<<"$control" || fail "davu-server has no $script"
done
unit=$(dpkg-deb --fsys-tarfile "$server" | tar -xO ./lib/systemd/system/davu-server.service)
grep -q '^ExecStart=/usr/bin/davu-server ' <<<"$unit" || fail "the packaged unit does not start /usr/bin/davu-server"
grep -q '^EnvironmentFile=-/etc/default/davu-server$' <<<"$unit" || fail "the packaged unit does not read /etc/default"

# Unpacked into a throw-away root by dpkg itself (no maintainer script runs
# there: configuring would enable the service, which needs systemd).
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root --unpack "$admin" "$server" >/dev/null 2>"$work/dpkg.err" ||
  fail "dpkg --unpack: $(cat "$work/dpkg.err")"
for f in usr/bin/davu-admin usr/bin/davu-server lib/systemd/system/davu-server.service; do
  [ -f "$root/$f" ] || fail "dpkg did not unpack /$f"
done
# A conffile waits under .dpkg-new until the package is configured.
[ -f "$root/etc/default/davu-server.dpkg-new" ] || fail "dpkg did not unpack /etc/default/davu-server as a conffile"
grep -qx /usr/bin/davu-server <<<"$(dpkg --root="$root" -L davu-server)" || fail "dpkg -L davu-server"
"$root/usr/bin/davu-server" --version | grep -qx "davu-server $version" || fail "the unpacked davu-server does not run"

# lintian, when installed: no errors and no warnings.
if command -v lintian >/dev/null; then
  report=$(lintian --info --tag-display-limit 0 "$admin" "$server" 2>&1 || true)
  echo "$report"
  if grep -E '^[EW]: ' <<<"$report"; then fail "lintian found errors or warnings"; fi
fi
echo "package test passed: $(basename "$admin") $(basename "$server")"
