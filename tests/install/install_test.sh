#!/usr/bin/env bash
# cmake --install into a temporary prefix: every file in its place, the
# desktop entry valid, both man pages render without a warning, the icons
# have the sizes their folders say, and the installed programs run.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$dest" >/dev/null

expected=(
  bin/davu-admin bin/davu-server
  share/applications/davu-admin.desktop
  share/icons/hicolor/scalable/apps/davu-admin.svg
  share/man/man1/davu-admin.1.gz share/man/man8/davu-server.8.gz
  share/doc/davu-admin/README.md share/doc/davu-admin/copyright
  share/doc/davu-server/README.md share/doc/davu-server/copyright
  lib/systemd/system/davu-server.service
  etc/default/davu-server
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/davu-admin.png")
done
for f in "${expected[@]}"; do
  [ -f "$dest/$f" ] || fail "$f was not installed"
done
[ -d "$dest/share/davu-admin" ] || fail "share/davu-admin (the admin's start folder) was not installed"
for f in bin/davu-admin bin/davu-server; do
  [ -x "$dest/$f" ] || fail "$f is not executable"
done

# Icons: a PNG's width and height are the big-endian words at bytes 16 and 20.
for size in 16 22 24 32 48 64 128 256; do
  png="$dest/share/icons/hicolor/${size}x${size}/apps/davu-admin.png"
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}, not ${size}x${size}"
done
grep -q '<svg' "$dest/share/icons/hicolor/scalable/apps/davu-admin.svg" || fail "the SVG icon is not SVG"

# The desktop entry: valid, and it names the program and icon installed.
desktop="$dest/share/applications/davu-admin.desktop"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Exec=davu-admin' "$desktop" || fail "Exec is not davu-admin"
grep -qx 'Icon=davu-admin' "$desktop" || fail "Icon is not davu-admin"
for key in Name Comment; do
  grep -q "^$key=" "$desktop" || fail "no English $key"
  grep -q "^$key\[sv\]=" "$desktop" || fail "no Swedish $key"
done

# Man pages: groff's warnings on, and man itself, both silent.
for page in share/man/man1/davu-admin.1.gz share/man/man8/davu-server.8.gz; do
  warnings=$(zcat "$dest/$page" | groff -ww -man -Tutf8 -z 2>&1) || fail "groff failed on $page"
  [ -z "$warnings" ] || fail "groff -ww on $page: $warnings"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$dest/$page" 2>&1 >/dev/null) || fail "man -l $page failed"
  [ -z "$warnings" ] || fail "man -l on $page: $warnings"
  # Read whole before searching: with pipefail, grep -q stopping early would
  # fail the pipeline through the writer's SIGPIPE.
  if grep -q '@[A-Z_]*@' <<<"$(zcat "$dest/$page")"; then fail "$page has an unreplaced @VARIABLE@"; fi
done
grep -q -- '--allow' <<<"$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$dest/share/man/man8/davu-server.8.gz")" ||
  fail "davu-server(8) does not describe --allow"

# Every option the server's --help names is in its man page.
page=$(zcat "$dest/share/man/man8/davu-server.8.gz")
for option in $("$dest/bin/davu-server" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "${option//-/\\\\-}" <<<"$page" || fail "davu-server(8) does not mention $option"
done

# The installed programs run from their new place.
[ "$("$dest/bin/davu-server" --version)" = "davu-server $("$build/server/davu-server" --version | cut -d' ' -f2)" ] ||
  fail "installed davu-server --version"
QT_QPA_PLATFORM=offscreen "$dest/bin/davu-admin" --version | grep -q '^davu-admin ' || fail "installed davu-admin --version"
echo "install test passed: ${#expected[@]} files"
