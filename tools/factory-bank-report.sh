#!/usr/bin/env bash
# Renders every factory preset through the built plug-in with wrendle-host and
# writes a short level report: peak and RMS of input and output per preset, and
# the RMS change, so levels can be checked at a glance.
#
#   bash tools/factory-bank-report.sh [PRESET_REGEX]
#
# Each preset is rendered on the test signal its category names in
# presets/FactoryBank.txt (drums, bass, pad, guitar or a mix of them, made with
# sox at -6 dBFS peak). Everything lands in <build>/factory-bank-report/: the
# signals, the renders, a spectrogram of each render and report.txt. The build
# folder is "build" unless WRENDLE_BUILD_DIR says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${WRENDLE_BUILD_DIR:-build}"
only="${1:-}"
out="$build_dir/factory-bank-report"

if ! command -v sox >/dev/null; then
    echo "sox is needed for the test signals: bash tools/install-dependencies.sh" >&2
    exit 1
fi

if [ ! -d "$build_dir" ]; then
    cmake -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" -j"$(nproc)" --target WrendleFold wrendle-host wrendle_preset_bank

host="$build_dir/tools/wrendle-host/wrendle-host"
bank="$build_dir/tools/preset-bank/wrendle-preset-bank"
module="$build_dir/WrendleFold.clap"

rm -rf "$out"
mkdir -p "$out/signals" "$out/renders" "$out/home"

# The plug-in runs with a home of its own: no user settings, no news fetch.
mkdir -p "$out/home/.local/share/Kestrivane/Settings"
echo '<KESTRIVANE_GLOBAL_SETTINGS KV-pn1="0"/>' >"$out/home/.local/share/Kestrivane/Settings/Kestrivane.kvs"

#------------------------------------------------------------------------------
# Test signals: 4.8 s at 48 kHz, two bars at 100 BPM, stereo, -6 dBFS peak.
rate=48000
signals="$out/signals"
parts="$signals/parts"
mkdir -p "$parts"

# -R: the same noise on every run, so reports can be compared.
tone() { sox -V1 -R -n -r "$rate" -c 1 "$@"; }

# Drums: kick, snare and closed hats.
tone "$parts/kick.wav" synth 0.4 sine 150:42 fade q 0.001 0.4 0.36 gain -3
tone "$parts/snare-noise.wav" synth 0.2 noise gain -6 highpass 1200 lowpass 9000 fade q 0.001 0.2 0.19
tone "$parts/snare-tone.wav" synth 0.12 sine 185 fade q 0.001 0.12 0.11
sox -V1 -m "$parts/snare-noise.wav" "$parts/snare-tone.wav" "$parts/snare.wav"
tone "$parts/hat.wav" synth 0.05 noise gain -6 highpass 7000 fade q 0.001 0.05 0.045 gain -8
hits=()
for t in 0 0.9 1.2 2.4 3.3 3.6; do hits+=("|sox $parts/kick.wav -p pad $t"); done
for t in 0.6 1.8 3.0 4.2; do hits+=("|sox $parts/snare.wav -p pad $t"); done
for i in $(seq 0 15); do hits+=("|sox $parts/hat.wav -p pad $(awk "BEGIN { print $i * 0.3 }")"); done
sox -V1 -m "${hits[@]}" "$parts/drums.wav" pad 0 1 trim 0 4.8

# Bass: a filtered sawtooth line in eighth notes.
notes=()
i=0
for f in 55 55 65.41 55 82.41 73.42 65.41 49 55 55 65.41 55 98 87.31 82.41 73.42; do
    tone "$parts/bass-$i.wav" synth 0.3 sawtooth "$f" gain -6 lowpass 700 lowpass 700 fade q 0.004 0.3 0.06
    notes+=("$parts/bass-$i.wav")
    i=$((i + 1))
done
sox -V1 "${notes[@]}" "$parts/bass.wav"

# Pad: an A minor chord of triangles with a slow swell and a gentle tremolo.
for f in 220 261.63 329.63 440.5; do tone "$parts/pad-$f.wav" synth 4.8 triangle "$f"; done
sox -V1 -m "$parts"/pad-*.wav "$parts/pad.wav" lowpass 3000 tremolo 0.3 20 fade t 0.8 4.8 1.0

# Guitar: plucked arpeggios.
notes=()
i=0
for n in E3 B3 E4 G4 B4 G4 E4 B3 D3 A3 D4 F#4 A4 F#4 D4 A3; do
    tone "$parts/guitar-$i.wav" synth 0.3 pluck "$n" fade q 0.002 0.3 0.05
    notes+=("$parts/guitar-$i.wav")
    i=$((i + 1))
done
sox -V1 "${notes[@]}" "$parts/guitar.wav"

# A small mix: drums, bass and pad together.
sox -V1 -m -v 1 "$parts/drums.wav" -v 0.8 "$parts/bass.wav" -v 0.6 "$parts/pad.wav" "$parts/mix.wav"

for name in drums bass pad guitar mix; do
    sox -V1 "$parts/$name.wav" -c 2 "$signals/$name.wav" remix 1 1 norm -6
done
rm -rf "$parts"

#------------------------------------------------------------------------------
report="$out/report.txt"
{
    echo "Factory presets rendered through $module with wrendle-host render."
    echo "Levels in dBFS; dRMS is output RMS minus input RMS (! beyond 3 dB)."
    echo
    printf '%-46s %-7s %8s %8s %8s %8s %7s\n' "preset" "signal" "in pk" "in RMS" "out pk" "out RMS" "dRMS"
} >"$report"

count=0
while IFS=$'\t' read -r preset signal settings; do
    if [ -n "$only" ] && ! [[ "$preset" =~ $only ]]; then
        continue
    fi

    sets=()
    IFS=$'\t' read -r -a assignments <<<"$settings"
    for assignment in "${assignments[@]}"; do sets+=(--set "$assignment"); done

    render="$out/renders/$preset.wav"
    mkdir -p "$(dirname "$render")"
    summary=$(HOME="$out/home" "$host" render "$module" "$signals/$signal.wav" "$render" "${sets[@]}" --no-progress 2>/dev/null)
    read -r in_peak in_rms out_peak out_rms < <(sed -E 's/.*in peak (-?[0-9.inf]+) dBFS, RMS (-?[0-9.inf]+) dBFS; out peak (-?[0-9.inf]+) dBFS, RMS (-?[0-9.inf]+) dBFS.*/\1 \2 \3 \4/' <<<"$summary")
    sox -V1 "$render" -n remix - spectrogram -x 800 -y 257 -t "$preset" -o "${render%.wav}.png"

    awk -v p="$preset" -v s="$signal" -v ip="$in_peak" -v ir="$in_rms" -v op="$out_peak" -v or="$out_rms" 'BEGIN {
        d = or - ir
        printf "%-46s %-7s %8.2f %8.2f %8.2f %8.2f %+7.2f%s\n", p, s, ip, ir, op, or, d, (d > 3 || d < -3) ? " !" : ""
    }' >>"$report"
    count=$((count + 1))
done < <("$bank" list presets/FactoryBank.txt)

cat "$report"
echo
echo "$count presets rendered; renders and spectrograms in $out/renders, this report in $report"
