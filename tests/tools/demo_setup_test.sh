#!/usr/bin/env bash
# scripts/run.sh's demonstration set-up in a home of its own: the folder in the user's data
# directory, Demo.klv written when absent or asked afresh and kept otherwise, the logs kept, and
# nothing of the simulator's run left behind. Usage: demo_setup_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2 t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
mkdir -p "$t/tmp"
unset XDG_DATA_HOME
fail() { echo "FAILED: $*" >&2; exit 1; }
prepare() {  # the folder it is to name, then the options
  local folder=$1 out
  shift
  out=$(HOME=$t TMPDIR=$t/tmp KLV_BUILD_DIR=$build bash "$src/scripts/run.sh" --prepare-only "$@")
  grep -qxF "Demonstration folder: $folder" <<<"$out" && grep -q '^COM2 /dev/pts/' <<<"$out" &&
    [ -z "$(ls -A "$t/tmp")" ] || fail "run.sh $* said: $out; left: $(ls -A "$t/tmp")"
}
demo=$t/.local/share/kelvora32/demo
prepare "$demo"
[ "$(stat -c %s "$demo/Demo.klv")" = 35983 ] && cp "$demo/Demo.klv" "$t/written" || fail "not written"
echo 'saved' >>"$demo/Demo.klv" && echo 'a log line' >"$demo/KLV.Log" && cp "$demo/Demo.klv" "$t/saved"
prepare "$demo"
cmp "$demo/Demo.klv" "$t/saved" || fail "the saved configuration was replaced"
prepare "$demo" --fresh-demo
cmp "$demo/Demo.klv" "$t/written" && [ "$(cat "$demo/KLV.Log")" = 'a log line' ] || fail "--fresh-demo"
XDG_DATA_HOME=$t/data prepare "$t/data/kelvora32/demo"
! KLV_BUILD_DIR=$build bash "$src/scripts/run.sh" --bogus 2>/dev/null || fail "--bogus accepted"
