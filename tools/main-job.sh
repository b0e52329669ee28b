#!/usr/bin/env bash
# Builds the plug-in, installs it for the current user into ~/.clap, shows
# what a host sees when it loads it, and renders a short demo through the
# installed module.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

cmake -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target WrendleFold wrendle-host

mkdir -p "$HOME/.clap"
install -m 0755 build/WrendleFold.clap "$HOME/.clap/WrendleFold.clap"
echo "Installed $HOME/.clap/WrendleFold.clap"
echo

host=build/tools/wrendle-host/wrendle-host
"$host" info "$HOME/.clap/WrendleFold.clap"
echo

# The demo: a generated test signal (two sines under a slow swell), folded by
# the installed plug-in. Both files stay in build/demo.
mkdir -p build/demo
"$host" generate build/demo/demo-in.wav --seconds 4
"$host" render "$HOME/.clap/WrendleFold.clap" build/demo/demo-in.wav build/demo/demo-out.wav \
    --set "Fold Amount=0.6" --no-progress
