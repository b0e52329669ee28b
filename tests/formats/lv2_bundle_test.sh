#!/usr/bin/env bash
# The LV2 bundle as a host sees it: its Turtle files parse, lilv finds the
# plug-in with its name, ports and required features, and jalv runs it under a
# JACK server with the dummy driver, folding a metronome's beeps into output
# that is neither silent nor broken.
# Usage: lv2_bundle_test.sh <folder holding WrendleFold.lv2> <scratch folder>
set -euo pipefail

bundle_parent="$1"
scratch="$2"
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
    for log in jackd.log jalv.log metro.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -20 "$log" >&2; }
    done
    exit 1
}

# Every Turtle file of the bundle parses.
for ttl in "$bundle_parent"/WrendleFold.lv2/*.ttl; do
    sordi "$ttl" > /dev/null 2>&1 || fail "$(basename "$ttl") does not parse"
done

# lilv reads the bundle the way hosts do.
lv2info "$uri" > lv2info.txt || fail "lv2info does not find $uri"
grep -q "Name: *Wrendle Fold" lv2info.txt || fail "the plug-in's name is not Wrendle Fold"
for symbol in audio_in_1 audio_in_2 audio_out_1 audio_out_2; do
    grep -q "Symbol: *$symbol\$" lv2info.txt || fail "port $symbol is missing"
done
grep -q "Has latency: *yes" lv2info.txt || fail "no latency port"
# A host's bypass reaches the plug-in through the port designated lv2:enabled.
grep -q "lv2:designation lv2:enabled" "$bundle_parent"/WrendleFold.lv2/dsp.ttl || fail "no lv2:enabled port for the host's bypass"

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
# input is a pipe held open until the test ends.
mkfifo jalv.in
jalv -x -n wrendle "$uri" < jalv.in > jalv.log 2>&1 &
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

jack_rec -f out.wav -d 3 wrendle:audio_out_1 wrendle:audio_out_2 > rec.log 2>&1 || fail "recording failed"
sox out.wav -n stats > stats.txt 2>&1 || fail "the recording is not a sound file"
cat stats.txt

grep -Ei "^(Min|Max) level" stats.txt | grep -qi "nan\|inf" && fail "the output holds non-finite samples"
peak=$(awk '/^Pk lev dB/ { print $4 }' stats.txt)
awk -v p="$peak" 'BEGIN { exit !(p > -40) }' || fail "the output is silent (peak $peak dB)"
echo "ok: peak $peak dB"
