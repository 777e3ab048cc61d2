#!/bin/sh
# Starts the configurator from the build tree. When the simulated reader bus is built, it runs
# beside the program and its port is offered through ZEMO_EXTRA_PORTS. Without a display the
# program runs under xvfb-run.
set -eu
build=${1:-build}
app="$build/app/zemo-configurator"
sim="$build/tools-bin/zemo-reader-sim"
rundir="$build/run"
mkdir -p "$rundir"

sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -x "$sim" ]; then
    port="$(cd "$rundir" && pwd)/zemo-sim-port"
    # Two readers on one bus: address 1 with current firmware, address 2 with an older one.
    "$sim" --link "$port" \
        --reader address=1,fw=1.3.2,id=220,speed=19200 \
        --reader address=2,fw=1.0.5,id=220,speed=19200 &
    sim_pid=$!
    i=0
    while [ ! -e "$port" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    echo "Simulated reader bus on $port (readers at addresses 1 and 2, 19200 baud)"
    export ZEMO_EXTRA_PORTS="$port${ZEMO_EXTRA_PORTS:+:$ZEMO_EXTRA_PORTS}"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run"
    xvfb-run -a "$app" -log
else
    "$app" -log
fi
