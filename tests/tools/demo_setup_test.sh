#!/usr/bin/env bash
# scripts/run.sh's demonstration set-up in a home of its own: the folder in the user's data
# directory, Demo.klv written when absent or asked afresh and kept otherwise, the logs kept, and
# nothing of the simulator's run left behind.
# Usage: demo_setup_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
mkdir -p "$t/home" "$t/tmp"
unset XDG_DATA_HOME
prepare() {
  HOME=$t/home TMPDIR=$t/tmp KLV_BUILD_DIR=$build bash "$src/scripts/run.sh" --prepare-only "$@"
}
fail() { echo "FAILED: $*" >&2; exit 1; }
check_run() {  # folder, then the options of the run
  local folder=$1 out
  shift
  out=$(prepare "$@") || fail "run.sh $* ended with $?"
  grep -qxF "Demonstration folder: $folder" <<<"$out" || fail "run.sh $* said: $out"
  grep -q '^COM2 /dev/pts/' <<<"$out" || fail "no simulated COM2: $out"
  [ -z "$(ls -A "$t/tmp")" ] || fail "left behind: $(ls -A "$t/tmp")"
}

demo=$t/home/.local/share/kelvora32/demo
check_run "$demo"
[ "$(stat -c %s "$demo/Demo.klv")" = 35983 ] || fail "no configuration written"
cp "$demo/Demo.klv" "$t/written.klv"
printf 'saved by the user' >>"$demo/Demo.klv"
echo 'a log line' >"$demo/KLV.Log"
cp "$demo/Demo.klv" "$t/saved.klv"

check_run "$demo"
cmp "$demo/Demo.klv" "$t/saved.klv" || fail "the saved configuration was replaced"
check_run "$demo" --fresh-demo
cmp "$demo/Demo.klv" "$t/written.klv" || fail "--fresh-demo did not write the configuration"
[ "$(cat "$demo/KLV.Log")" = 'a log line' ] || fail "the log is gone"

XDG_DATA_HOME=$t/data check_run "$t/data/kelvora32/demo"
! prepare --bogus 2>/dev/null || fail "an unknown option was accepted"
echo "passed"
