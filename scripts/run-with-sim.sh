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
    # SIGTERM lets the simulator remove its link.
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -x "$sim" ]; then
    port="$(cd "$rundir" && pwd)/zemo-sim-port"
    # Two readers on one bus: address 1 with current firmware, address 2 with an older one.
    # --wire: bytes take the time they take on a real line at the chosen speed.
    "$sim" --link "$port" --wire \
        --reader address=1,fw=1.3.2,id=220,speed=19200 \
        --reader address=2,fw=1.0.5,id=220,speed=19200 &
    sim_pid=$!
    i=0
    while [ ! -L "$port" ] && [ $i -lt 50 ] && kill -0 "$sim_pid" 2>/dev/null; do
        sleep 0.1
        i=$((i + 1))
    done
    if [ -L "$port" ]; then
        echo "Choose the port $port in the configurator (readers at addresses 1 and 2, 19200 baud)"
        export ZEMO_EXTRA_PORTS="$port${ZEMO_EXTRA_PORTS:+:$ZEMO_EXTRA_PORTS}"
    else
        echo "The simulated reader bus did not start; the configurator runs without it" >&2
        sim_pid=""
    fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run"
    xvfb-run -a "$app" -log
else
    "$app" -log
fi
