#!/usr/bin/env bash
# Builds the plug-in, installs it and its factory presets for the current user
# (~/.clap, ~/.lv2, ~/.vst3 and ~/.local/share/Kestrivane/Presets/WrendleFold/Factory),
# shows what a host sees when it loads the CLAP module, and renders a short demo
# through it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

cmake -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target WrendleFold wrendle-host factory_presets \
    WrendleFold_LV2 WrendleFoldFormats_VST3

mkdir -p "$HOME/.clap"
install -m 0755 build/WrendleFold.clap "$HOME/.clap/WrendleFold.clap"
echo "Installed $HOME/.clap/WrendleFold.clap"

# The LV2 and VST3 bundles, each replaced whole so no file of an older build stays.
formats=build/formats/WrendleFoldFormats_artefacts/Release
for bundle in "lv2:build/LV2/WrendleFold.lv2" "vst3:$formats/VST3/WrendleFold.vst3"; do
    folder="$HOME/.${bundle%%:*}"
    mkdir -p "$folder"
    rm -rf "$folder/$(basename "${bundle#*:}")"
    cp -R "${bundle#*:}" "$folder/"
    echo "Installed $folder/$(basename "${bundle#*:}")"
done

# The factory bank: installed under ~/.local it lands in the user's own presets
# folder, read-only. An earlier install goes first, so a renamed preset does not
# stay behind under its old name; the user's own presets live elsewhere (User/).
factory="$HOME/.local/share/Kestrivane/Presets/WrendleFold/Factory"
rm -rf "$factory"
cmake --install build --component factory_presets --prefix "$HOME/.local" >/dev/null
echo "Installed $(find "$factory" -name '*.kvp' | wc -l) factory presets in $factory"
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
