#!/usr/bin/env bash
# Builds Kelvora 32 and starts it; arguments go to the analyser (an optional
# configuration file, e.g. scripts/run.sh MyBench.klv).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/install-deps.sh"
cmake --preset default -S "$root" >/dev/null
cmake --build --preset default --target kelvora32
exec "$root/build/src/app/kelvora32" "$@"
