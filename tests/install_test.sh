#!/usr/bin/env bash
# `cmake --install` puts the analyser, the simulator, the menu entry, the icon
# and the configuration files' type where the desktop finds them, and the entry
# names what was installed.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for program in kelvora32 kelvora32-sim; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
entry=$prefix/share/applications/kelvora32.desktop
[ -f "$entry" ] || fail "no menu entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the entry's icon $icon is not installed"
[ -x "$prefix/bin/$exec" ] || fail "the entry starts $exec, which is not installed"
grep -q '^Type=Application$' "$entry" || fail "the entry is not an application"
# The configuration files' type, opened by the entry, and in the refreshed database.
mime=$prefix/share/mime/packages/kelvora32.xml
[ -f "$mime" ] || fail "the configuration files' MIME type is not installed"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
grep -q "^MimeType=\(.*;\)\?$type;" "$entry" || fail "the entry does not open $type"
if command -v update-mime-database >/dev/null; then
  grep -qxF "50:$type:*.klv" "$prefix/share/mime/globs2" || fail "the MIME database has no *.klv"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
fi
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
