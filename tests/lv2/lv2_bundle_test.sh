#!/usr/bin/env bash
# The LV2 bundle as LV2's own tools and hosts see it: its Turtle validates
# against the installed LV2 specifications with no error; lilv lists the
# plug-in with its ports, latency and every factory preset; lv2file renders a
# file with a parameter set by -p; jalv runs it under a JACK server with the
# dummy driver, loads a factory preset (the port values follow it) and folds a
# metronome's beeps into output that is neither silent nor broken.
# Usage: lv2_bundle_test.sh <folder holding WrendleFold.lv2> <factory bank source> <scratch folder>
set -euo pipefail

bundle_parent="$(cd "$1" && pwd)"
factory_bank="$(realpath "$2")"
scratch="$3"
bundle="$bundle_parent/WrendleFold.lv2"
uri="https://kestrivane.com/wrendle-fold/lv2"
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"

export LV2_PATH="$bundle_parent"
export JACK_DEFAULT_SERVER="wrendle-lv2-test-$$"
export JACK_NO_AUDIO_RESERVATION=1

fail()
{
    echo "FAIL: $*" >&2
    for log in validate.txt jackd.log jalv.log metro.log lv2file.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -20 "$log" >&2; }
    done
    exit 1
}

# Every Turtle file of the bundle parses, and together they validate.
for ttl in "$bundle"/*.ttl; do
    sordi "$ttl" > /dev/null 2>&1 || fail "$(basename "$ttl") does not parse"
done
lv2_validate "$bundle"/*.ttl > validate.txt 2>&1 || true
grep -q "^Found 0 errors" validate.txt || fail "lv2_validate reports errors"
grep -q "^warning" validate.txt && { echo "lv2_validate's warnings:"; grep -A3 "^warning" validate.txt; }

# lilv reads the bundle the way hosts do.
lv2ls | grep -qx "$uri" || fail "lv2ls does not list $uri"
lv2info "$uri" > lv2info.txt || fail "lv2info does not find $uri"
grep -q "Name: *Wrendle Fold" lv2info.txt || fail "the plug-in's name is not Wrendle Fold"
for symbol in audio_in_1 audio_in_2 audio_out_1 audio_out_2 in out latency freeWheeling enabled FoldAmount Oversampling AutoGain; do
    grep -q "Symbol: *$symbol\$" lv2info.txt || fail "port $symbol is missing"
done
grep -q "Has latency: *yes, reported by port 6" lv2info.txt || fail "no latency port"
grep -q "Required Features" lv2info.txt && fail "the plug-in requires features"
grep -q "lv2:designation lv2:enabled" "$bundle/dsp.ttl" || fail "no lv2:enabled port for the host's bypass"

# Every factory preset, by its name.
expected=$(grep -c '^\[.*/.*\]$' "$factory_bank")
sed -n '/Presets:/,/Port 0:/p' lv2info.txt | sed -n 's/^\t \{9\}\(.*\)$/\1/p' > presets.txt
listed=$(wc -l < presets.txt)
[ "$listed" -eq "$expected" ] || fail "lv2info lists $listed presets, the factory bank has $expected"
while IFS= read -r name; do
    grep -qxF "$name" presets.txt || fail "preset '$name' is not listed"
done < <(sed -n 's|^\[.*/\(.*\)\]$|\1|p' "$factory_bank")

# lv2file, a host with no features at all, renders with a parameter set by -p.
sox -n -r 48000 -c 2 -b 32 -e floating-point tone.wav synth 1 sine 220 gain -6
lv2file -i tone.wav -o folded.wav -p FoldAmount:0.8 -p Oversampling:2 "$uri" > lv2file.log 2>&1 || fail "lv2file cannot render"
sox folded.wav -n stats > folded.txt 2>&1 || fail "lv2file wrote no sound file"
sox -m -v 1 tone.wav -v -1 folded.wav -n stats > difference.txt 2>&1
difference=$(awk '/^RMS lev dB/ { print $4 }' difference.txt)
awk -v d="$difference" 'BEGIN { exit !(d > -30) }' || fail "lv2file's output is the input (difference $difference dB)"

pids=()
cleanup()
{
    exec 3>&- || true
    for pid in "${pids[@]}"; do
        kill "$pid" 2> /dev/null || true
    done
    wait 2> /dev/null || true
}
trap cleanup EXIT

jackd --no-realtime -d dummy -r 48000 -p 512 > jackd.log 2>&1 &
pids+=($!)
jack_wait -w -t 10 > /dev/null || fail "the JACK server did not start"

# jalv reads commands from its standard input and stops at its end, so that
# input is a pipe held open until the test ends; its output goes out line by
# line, so the test reads its answers while it runs.
mkfifo jalv.in
stdbuf -oL jalv -x -n wrendle "$uri" < jalv.in > jalv.log 2>&1 &
pids+=($!)
exec 3> jalv.in
jack_metro -n metro -b 240 -f 440 -D 100 > metro.log 2>&1 &
pids+=($!)

for _ in $(seq 100); do
    jack_lsp 2> /dev/null | grep -q "wrendle:audio_out_2" && jack_lsp 2> /dev/null | grep -q "metro:" && break
    sleep 0.1
done
jack_connect metro:240_bpm wrendle:audio_in_1 || fail "jalv's input ports did not appear"
jack_connect metro:240_bpm wrendle:audio_in_2 || fail "jalv's input ports did not appear"

# A factory preset: its port values replace the defaults. jalv reads a
# preset's data when it lists the presets.
echo "presets" >&3
echo "preset $uri:preset/Bass/Sub-Keeper" >&3
for _ in $(seq 50); do
    grep -q "^HighPass = 150" jalv.log && break
    sleep 0.1
done
grep -q "^HighPass = 150" jalv.log || fail "jalv's HighPass did not follow the preset Sub Keeper"
grep -q "^> *Oversampling = 2.0" jalv.log || grep -q "^Oversampling = 2.0" jalv.log || fail "jalv's Oversampling did not follow the preset"

jack_rec -f out.wav -d 3 wrendle:audio_out_1 wrendle:audio_out_2 > rec.log 2>&1 || fail "recording failed"
sox out.wav -n stats > stats.txt 2>&1 || fail "the recording is not a sound file"
cat stats.txt

grep -Ei "^(Min|Max) level" stats.txt | grep -qi "nan\|inf" && fail "the output holds non-finite samples"
peak=$(awk '/^Pk lev dB/ { print $4 }' stats.txt)
awk -v p="$peak" 'BEGIN { exit !(p > -40) }' || fail "the output is silent (peak $peak dB)"
echo "ok: peak $peak dB, $listed presets, lv2file's output differs from its input by $difference dB RMS"
