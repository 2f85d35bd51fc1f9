#!/usr/bin/env bash
# The demo: a simulated machine on a pseudo-terminal, and the tool's main use
# against it: read the machine, download the sample user program, read again.
# Usage: demo/demo.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# The simulator runs until its standard input ends: hold it open on a pipe.
coproc SIM { exec "$build/sim/mirelle-sim" --pace --factory samples/sample-factory.tbf 2>/dev/null; }
trap 'exec {SIM[1]}>&-; wait "$SIM_PID" 2>/dev/null || true' EXIT
read -r device <&"${SIM[0]}"

cli() {
  echo
  echo "\$ mirelle-cli $*"
  "$build/cli/mirelle-cli" --port "$device" "$@" || echo "(exit code $?)"
}

echo "Simulated machine on $device"
cli info
cli download samples/sample-user.tbu
cli info
