#!/bin/sh
# Runs one Windows program of the build under Wine, in the build's test prefix,
# with B:\ as its current directory. Without a display it runs under Xvfb.
# Usage: run.sh BUILD_DIR PROGRAM [ARGUMENTS...]
set -eu
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$build"
exec wine "$@"
