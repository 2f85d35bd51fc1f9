#!/usr/bin/env bash
# The window against the simulated machine: mirelle-sim on a pseudo-terminal,
# paced like a real line, with the sample factory image; mirelle-loader in a
# settings profile of its own (under the build folder, so that the user's own
# settings are never touched) whose com1 is the simulator's device. The
# simulator stops when the window closes. Without a display, the
# command-line demo runs instead.
# Usage: demo/window.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

no_display() {
  echo "$1: running the command-line demo instead. Once a display is there, ./run opens the window."
  exec ./demo/demo.sh "$build"
}
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || no_display "No display (neither DISPLAY nor WAYLAND_DISPLAY is set)"

profile=$(cd "$build" && pwd)/demo-profile
device=$profile/machine
mkdir -p "$profile/Orvane"
rm -f "$device"

# The simulator runs until its standard input ends: hold it open on a pipe.
coproc SIM { exec "$build/sim/mirelle-sim" --pace --factory samples/sample-factory.tbf --link "$device" 2>/dev/null; }
trap 'exec {SIM[1]}>&-; wait "$SIM_PID" 2>/dev/null || true' EXIT
read -r _ <&"${SIM[0]}"

cat > "$profile/Orvane/Quorvex.conf" <<CONF
[General]
ComPort=com1

[Ports]
com1=$device
CONF

echo "Simulated machine on com1 ($device); settings in $profile/Orvane/Quorvex.conf"
started=$SECONDS
status=0
XDG_CONFIG_HOME=$profile "$build/app/mirelle-loader" || status=$?
if [ "$status" -ne 0 ] && [ $((SECONDS - started)) -lt 5 ]; then
  no_display "The window could not open on display ${DISPLAY:-$WAYLAND_DISPLAY}"
fi
echo
echo "The programs: $build/app/mirelle-loader (the window), $build/cli/mirelle-cli, $build/sim/mirelle-sim"
