#!/bin/bash
# Generates the large demo site "Large Plant" (16 areas of 250 devices:
# 4,000 devices) and imports it into the demo install, so that a compression
# runs long enough to try the Cancel button.
#
#   bash scripts/demo-large-site.sh [AREAS [DEVICES_PER_AREA]]
#
# Run it after scripts/demo.sh has built the project and prepared the demo
# install ($VQ_DEMO_HOME, default ~/.local/share/vaquor-demo). Another size
# makes another network, "Large Plant AREASxDEVICES". The site file is
# written to $VQ_DEMO_HOME/sites/. Every area is laid out
# as the demo plant's hierarchies: one VQ and a fifth of the devices on the
# area's own channel, one router, the rest behind it in four lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VQ_BUILD_DIR:-$root/build}
home=${VQ_DEMO_HOME:-$HOME/.local/share/vaquor-demo}
areas=${1:-16}
per_area=${2:-250}

case "$areas$per_area" in *[!0-9]*) echo "usage: $0 [AREAS [DEVICES_PER_AREA]]" >&2; exit 2 ;; esac
if [ "$areas" -lt 1 ] || [ "$areas" -gt 16 ] || [ "$per_area" -lt 2 ] || [ "$per_area" -gt 4000 ]; then
    echo "demo-large-site: 1 to 16 areas (one VQ each), 2 to 4000 devices per area (a file holds at most 65,535 objects)" >&2
    exit 2
fi
network="Large Plant"
file=large-plant
if [ "$areas" -ne 16 ] || [ "$per_area" -ne 250 ]; then
    network="Large Plant ${areas}x${per_area}"
    file="large-plant-${areas}x${per_area}"
fi
if [ ! -x "$build/bin/ovxctl" ]; then bash "$root/scripts/build.sh" --target ovxctl; fi

export OVX_HOME="$home/ovx"
mkdir -p "$OVX_HOME" "$home/sites"
if "$build/bin/ovxctl" list | cut -f1 | grep -qx "$network"; then
    echo "demo-large-site: \"$network\" is already imported"
    exit 0
fi

xifdir="$root/demo/Import/Quillane/vq/Version 1.0"
site="$home/sites/$file.json"
tmp="$site.tmp"
{
    printf '{\n  "network": "%s",\n  "channels": [\n' "$network"
    for ((a = 1; a <= areas; a++)); do
        sep=","; [ "$a" -eq "$areas" ] && sep=""
        printf '    {"id": %d, "name": "Area %02d LAN"},\n' $((2 * a - 1)) "$a"
        printf '    {"id": %d, "name": "Area %02d Field"}%s\n' $((2 * a)) "$a" "$sep"
    done
    printf '  ],\n  "templates": [\n'
    printf '    {"name": "VQ70", "xif": "%s/vq70.xif"},\n' "$xifdir"
    printf '    {"name": "Io8", "xif": "%s/io8.xif"}\n  ],\n' "$xifdir"
    printf '  "subsystems": [{"name": "Plant", "subsystems": [\n'
    for ((a = 1; a <= areas; a++)); do
        near=$((2 * a - 1))
        far=$((2 * a))
        tag=$(printf 'A%02d' "$a")
        # One device is the VQ; a fifth of the others sit beside it.
        others=$((per_area - 1))
        n_near=$((others / 5))
        n_far=$((others - n_near))
        printf '    {"name": "Area %02d",\n     "devices": [\n' "$a"
        printf '      {"name": "%s-VQ", "template": "VQ70", "channel": %d, "location": "VQ%s", "cps": {"cpSiteCode": "LARGE-%s"}}' \
            "$tag" "$near" "$tag" "$tag"
        for ((d = 1; d <= n_near; d++)); do
            printf ',\n      {"name": "%s-N%04d", "template": "Io8", "channel": %d, "location": "N%04d"}' "$tag" "$d" "$near" "$d"
        done
        printf '\n     ],\n     "routers": [{"name": "%s-Router", "near": %d, "far": %d}],\n     "subsystems": [\n' \
            "$tag" "$near" "$far"
        d=1
        for ((line = 1; line <= 4; line++)); do
            count=$(((n_far + 4 - line) / 4))
            printf '      {"name": "Line %d", "devices": [' "$line"
            for ((k = 0; k < count; k++, d++)); do
                [ "$k" -gt 0 ] && printf ','
                printf '\n        {"name": "%s-F%04d", "template": "Io8", "channel": %d, "location": "F%04d"}' "$tag" "$d" "$far" "$d"
            done
            sep=","; [ "$line" -eq 4 ] && sep=""
            printf '\n      ]}%s\n' "$sep"
        done
        sep=","; [ "$a" -eq "$areas" ] && sep=""
        printf '     ]}%s\n' "$sep"
    done
    printf '  ]}]\n}\n'
} > "$tmp"
mv "$tmp" "$site"
echo "demo-large-site: $((areas * per_area)) devices in $areas areas written to $site"
"$build/bin/ovxctl" import "$site"
echo "demo-large-site: imported \"$network\"; choose it on the database page"
