#!/bin/sh
# Makes, once per build directory, the Wine prefix that the Windows tests run in:
# 32-bit, no Mono or Gecko installer, no drive Z: (it would expose the whole Unix
# root to every scan), profile folders as plain folders instead of links into the
# Unix home, and drive B: mapped to the build directory so that tests reach their
# fixtures. B: is never walked by a scan, which starts at C:.
# Usage: make-prefix.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -f "$WINEPREFIX/.orvenna-ready" ]; then
    rm -rf "$WINEPREFIX"
    # The prefix's first session must begin on a display, or later windows fail.
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a sh -c 'wineboot --init && wineserver -w'
    else
        wineboot --init && wineserver -w
    fi
    rm -f "$WINEPREFIX/dosdevices/z:"
    "$here/plain-profile.sh" "$WINEPREFIX"
    touch "$WINEPREFIX/.orvenna-ready"
fi
ln -sfn "$build" "$WINEPREFIX/dosdevices/b:"
