#!/usr/bin/env bash
# The Debian package holds the four builds in the folders hosts search, the
# factory presets, the desktop entry, wrendle-host and the manual pages of both
# commands, depends on the libraries its binaries link, and lintian finds no
# error in it and no command without a manual page (its warnings are printed).
# Usage: package_test.sh <wrendle-fold_<version>_amd64.deb>
set -euo pipefail

deb="$1"
fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

[ -f "$deb" ] || fail "no package at $deb"
case "$(basename "$deb")" in
    wrendle-fold_*_amd64.deb) ;;
    *) fail "$(basename "$deb") is not named wrendle-fold_<version>_amd64.deb" ;;
esac

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in \
    ./usr/lib/clap/WrendleFold.clap \
    ./usr/lib/lv2/WrendleFold.lv2/manifest.ttl \
    ./usr/lib/lv2/WrendleFold.lv2/dsp.ttl \
    ./usr/lib/lv2/WrendleFold.lv2/presets.ttl \
    ./usr/lib/lv2/WrendleFold.lv2/libWrendleFold.so \
    ./usr/lib/vst3/WrendleFold.vst3/Contents/x86_64-linux/WrendleFold.so \
    ./usr/bin/wrendle-fold \
    ./usr/bin/wrendle-host \
    ./usr/share/man/man1/wrendle-fold.1.gz \
    ./usr/share/man/man1/wrendle-host.1.gz \
    ./usr/share/applications/wrendle-fold.desktop \
    ./usr/share/icons/hicolor/scalable/apps/wrendle-fold.svg \
    ./usr/share/doc/wrendle-fold/copyright; do
    grep -qx -- "$path" <<< "$contents" || fail "$path is not in the package"
done
grep -q '^./usr/share/Kestrivane/Presets/WrendleFold/Factory/.*\.kvp$' <<< "$contents" ||
    fail "the factory presets are not in the package"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6 libasound2 libcurl4 libfreetype6 libunistring2 libx11-6; do
    grep -q "$library" <<< "$depends" || fail "Depends lacks $library"
done

# lintian's tags: E errors fail, W warnings are listed.
lintian_output=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lintian_output"
if grep -q '^E:' <<< "$lintian_output"; then
    fail "lintian reports errors"
fi
if grep -q 'no-manual-page' <<< "$lintian_output"; then
    fail "lintian finds a command without a manual page"
fi
echo "ok: $(basename "$deb")"
