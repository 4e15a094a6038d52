#!/bin/sh
# Installs, once, every Debian package the build, the tests, the fuzzers and the demo need.
# Idempotent: a second run with everything present does nothing but check.
set -eu

packages="mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 \
xvfb xauth x11-utils imagemagick fonts-wine cmake ninja-build googletest clang clang-format lld llvm \
python3 python3-pefile make \
libz-mingw-w64-dev zlib1g-dev zip unzip"

missing=""
for p in $packages; do
    name=${p%%:*}
    arch=${p#*:}
    [ "$arch" = "$p" ] && arch=""
    query=$name${arch:+:$arch}
    if ! dpkg-query -W -f='${Status}' "$query" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
# The tests fetch third-party Windows binaries from the npm registry. Node's own
# packages bring npm with them; only without it is Debian's asked for.
command -v npm >/dev/null 2>&1 || missing="$missing npm"
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp /tmp/orvenna-install.XXXXXX)
echo "install-deps: installing$missing (log: $log)"
if ! { apt-get update -qq && apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends $missing; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "install-deps: installation failed; see $log" >&2
    exit 1
fi
