#!/usr/bin/env bash
# Installs what is missing, builds, starts the bundled reference site with demo data on its default address
# and runs the program against it. Without a display it runs the program under Xvfb, waits until the listing
# has filled, writes a screenshot, prints its path, and closes the program and the site again.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quorvelv quorvelv-site

program=$PWD/build/app/quorvelv
site=$PWD/build/server/quorvelv-site
state=$PWD/build/run
mkdir -p "$state"
rm -f "$state"/site.db*

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

if (exec 3<>/dev/tcp/127.0.0.1/8623) 2>/dev/null; then
    echo "run.sh: something already listens on 127.0.0.1:8623; stop it first" >&2
    exit 1
fi
"$site" serve --db "$state/site.db" --demo 2>"$state/site.log" &
pids+=($!)
for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/8623) 2>/dev/null && break
    sleep 0.1
done

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$program"
    exit $?
fi

# No display: a virtual one with a window manager, then a screenshot of the filled listing.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)

"$program" &
app=$!
shown=
for _ in $(seq 300); do
    if xdotool search --onlyvisible --name 'Quorvelv.2.3' >/dev/null 2>&1 &&
        grep -q 'jcbh1.php' "$state/site.log"; then
        shown=yes
        break
    fi
    sleep 0.1
done
[ -n "$shown" ] || echo "run.sh: the window did not show up with a filled listing within 30 s" >&2
sleep 1  # let the rows that arrive one by one settle and the window repaint
shot=$state/screenshot.png
import -window root "$shot"
echo "run.sh: the listing as the program shows it: $shot"

# Esc closes the window like a user would; the key must follow the window manager's activation.
window=$(xdotool search --onlyvisible --name 'Quorvelv.2.3' | head -n 1 || true)
if [ -n "$window" ] && xdotool windowactivate --sync "$window" 2>/dev/null; then
    sleep 0.5
    xdotool key Escape
else
    kill "$app"
fi
status=0
wait "$app" || status=$?
echo "run.sh: the program ended with exit code $status"
exit "$status"
