#!/usr/bin/env bash
# Builds Kelvora 32 and shows it at work without any serial hardware: the
# device simulator plays a Ruvo-94 link (a master polling its slaves on COM1,
# their answers on COM2, now and then a broken frame) on pseudo-terminals in a
# ports directory of its own, and the analyser decodes it in Protocol mode.
#
#   scripts/run.sh                       the demonstration
#   scripts/run.sh --real [MyBench.klv]  the analyser on your own serial ports
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/install-deps.sh"
cmake --preset default -S "$root" >/dev/null
cmake --build --preset default --target kelvora32 kelvora32-sim

if [ "${1:-}" = "--real" ]; then
  shift
  exec "$root/build/src/app/kelvora32" "$@"
fi

# Everything of the demonstration lives in one temporary folder: its ports
# directory (never the user's own), its configuration and its logs.
demo=$(mktemp -d "${TMPDIR:-/tmp}/kelvora32-demo.XXXXXX")
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ports=$demo/config/kelvora32/ports
mkdir -p "$ports"
"$root/build/tools/sim/kelvora32-sim" --ports-dir "$ports" --ruvo 1,2 \
  --demo-config "$demo/Demo.klv" >"$demo/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready$' "$demo/sim.out" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "The device simulator did not start." >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready$' "$demo/sim.out" || { echo "The device simulator is not ready." >&2; exit 1; }

echo "Simulated devices:"
grep '^COM' "$demo/sim.out"
cd "$demo"
XDG_CONFIG_HOME=$demo/config "$root/build/src/app/kelvora32" Demo.klv
