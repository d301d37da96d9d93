#!/bin/bash
# Installs, builds, prepares a demo install directory outside the source
# tree and starts the wizard on the demo site. Extra arguments go to the
# wizard ("-d", "-i").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
build=${VQ_BUILD_DIR:-$root/build}
home=${VQ_DEMO_HOME:-$HOME/.local/share/vaquor-demo}

mkdir -p "$home/Vq/CompressedDB" "$home/Vq/EventList" "$home/Vq/IntProg" "$home/bin" "$home/types" "$home/ovx"
# Sample files the demo ships; existing copies (perhaps edited) stay.
if [ -d "$root/demo/Import" ]; then cp -rn "$root/demo/Import" "$home/"; fi
for d in Vq bin types; do
    if [ -d "$root/demo/$d" ]; then cp -rn "$root/demo/$d/." "$home/$d/"; fi
done
# The program compiler's plug-in, as built (replacing an older build).
if [ -f "$build/bin/libqpicg.so" ]; then cp -f "$build/bin/libqpicg.so" "$home/bin/"; fi
export TESSARIN_PATH="$home"
export OVX_HOME="$home/ovx"

# An application image beside each VQ-70 interface file of the import
# folder: a smaller one for the older version, so the two differ.
if [ -x "$build/bin/vqsim" ]; then
    size=49152
    for dir in "$home/Import/Quillane/vq"/Version*/; do
        if [ -f "$dir/vq70.xif" ] && [ ! -f "$dir/vq70.apb" ]; then
            "$build/bin/vqsim" apb --program-id 900001013C8A0400 --size "$size" "$dir/vq70.apb"
        fi
        size=$((size + 16384))
    done
fi

if [ -x "$build/bin/ovxctl" ]; then
    for site in "$root"/demo/sites/*.json; do
        [ -f "$site" ] || continue
        name=$(sed -n 's/^ *"network": *"\(.*\)",*$/\1/p' "$site" | head -n 1)
        if ! "$build/bin/ovxctl" list | cut -f1 | grep -qx "$name"; then
            echo "demo: importing $site"
            "$build/bin/ovxctl" import "$site"
        fi
    done
else
    echo "demo: ovxctl is not built; the wizard starts without the demo site"
fi
# The demo field (VQ units of the demo site at 78,125 bit/s) runs inside the
# wizard; VQSIM1 reaches a vqsim daemon (demo/README.md). A list from before
# the daemon's interface was added is replaced.
if ! grep -q '"VQSIM1"' "$OVX_HOME/interfaces.json" 2>/dev/null; then
    cp "$root/demo/interfaces.json" "$OVX_HOME/interfaces.json"
fi

# Without a display, start a virtual one so the wizard still comes up.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "demo: no display; running under xvfb-run"
    exec xvfb-run -a "$build/bin/vqwizard" "$@"
fi
exec "$build/bin/vqwizard" "$@"
