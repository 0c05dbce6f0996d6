#!/usr/bin/env bash
# Builds Kelvora 32 and shows it at work without any serial hardware: the
# device simulator plays a Ruvo-94 link (a master polling its slaves on COM1,
# their answers on COM2, now and then a broken frame) on pseudo-terminals in a
# ports directory of its own, and the analyser decodes it in Protocol mode.
#
#   scripts/run.sh                       the demonstration
#   scripts/run.sh --fresh-demo          the same, its configuration written afresh
#   scripts/run.sh --prepare-only        set the demonstration up, say where its
#                                        folder is, and stop before the analyser
#   scripts/run.sh --real [MyBench.klv]  the analyser on your own serial ports
#
# The demonstration keeps its configuration (Demo.klv) and its logs in
# ${XDG_DATA_HOME:-~/.local/share}/kelvora32/demo, so what you save there is
# there next time; only the simulator's ports directory is temporary.
# KLV_BUILD_DIR=DIR runs the programs already built in DIR and builds nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

real=false fresh=false prepare_only=false
if [ "${1:-}" = "--real" ]; then
  real=true
  shift
else
  for arg in "$@"; do
    case $arg in
      --fresh-demo) fresh=true ;;
      --prepare-only) prepare_only=true ;;
      *) echo "run.sh: unknown option '$arg' (see the top of $0)" >&2; exit 2 ;;
    esac
  done
fi

build=${KLV_BUILD_DIR:-}
if [ -z "$build" ]; then
  bash "$root/scripts/install-deps.sh"
  cmake --preset default -S "$root" >/dev/null
  cmake --build --preset default --target kelvora32 kelvora32-sim
  build=$root/build
fi

if $real; then
  exec "$build/src/app/kelvora32" "$@"
fi

# A relative XDG_DATA_HOME is to be ignored, as an unset one.
data_home=${XDG_DATA_HOME:-}
[[ $data_home == /* ]] || data_home=$HOME/.local/share
demo=$data_home/kelvora32/demo
mkdir -p "$demo"
# The ports directory (never the user's own) and the simulator's output.
run=$(mktemp -d "${TMPDIR:-/tmp}/kelvora32-demo.XXXXXX")
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Demonstration folder: $demo"
write_config=()
if $fresh || [ ! -e "$demo/Demo.klv" ]; then
  write_config=(--demo-config "$demo/Demo.klv")
  echo "  Demo.klv written afresh; what you save there is kept for the next demonstration."
else
  echo "  Demo.klv and the logs are kept from the last time; --fresh-demo writes Demo.klv afresh."
fi

ports=$run/config/kelvora32/ports
mkdir -p "$ports"
"$build/tools/sim/kelvora32-sim" --ports-dir "$ports" --ruvo 1,2 "${write_config[@]}" \
  >"$run/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready$' "$run/sim.out" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "The device simulator did not start." >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready$' "$run/sim.out" || { echo "The device simulator is not ready." >&2; exit 1; }

echo "Simulated devices:"
grep '^COM' "$run/sim.out"
$prepare_only && exit 0
cd "$demo"
XDG_CONFIG_HOME=$run/config "$build/src/app/kelvora32" Demo.klv
