#!/usr/bin/env bash
# Builds the plug-in, installs it for the current user into ~/.clap and shows
# what a host sees when it loads it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

cmake -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target WrendleFold wrendle-host

mkdir -p "$HOME/.clap"
install -m 0755 build/WrendleFold.clap "$HOME/.clap/WrendleFold.clap"
echo "Installed $HOME/.clap/WrendleFold.clap"
echo

build/tools/wrendle-host/wrendle-host info "$HOME/.clap/WrendleFold.clap"
