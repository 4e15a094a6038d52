#!/bin/sh
# Runs one command with drive letters of a build's test prefix mapped to directories
# (made when missing), and removes the mappings when it ends, however it ends. A drive
# is a symbolic link in the prefix's dosdevices, which a running wineserver sees at
# once as a fixed drive; DefineDosDevice cannot make one under Wine, so this is done
# before the Windows process starts. C: (Wine's own installation), B: (the build tree)
# and Z: (the Unix root, removed from test prefixes) are refused.
# Usage: with-drives.sh BUILD_DIR LETTER=DIR... -- COMMAND [ARGUMENTS...]
set -eu

usage() {
    echo "usage: with-drives.sh BUILD_DIR LETTER=DIR... -- COMMAND [ARGUMENTS...]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
devices="$(cd "$1" && pwd)/wineprefix/dosdevices"
shift
[ -d "$devices" ] || { echo "with-drives.sh: no test prefix: $devices" >&2; exit 1; }

# Every mapping is checked before any is made.
specs=""
for arg in "$@"; do
    [ "$arg" = "--" ] && break
    letter=$(printf '%s' "${arg%%=*}" | tr 'A-Z' 'a-z')
    case "$letter" in
        b | c | z) echo "with-drives.sh: drive ${letter}: may not be mapped" >&2; exit 2 ;;
        [a-y]) ;;
        *) usage ;;
    esac
    [ "${arg#*=}" != "$arg" ] && [ -n "${arg#*=}" ] || usage
    case " $specs " in *" $letter "*) echo "with-drives.sh: drive ${letter}: given twice" >&2; exit 2 ;; esac
    specs="$specs $letter"
done

mapped=""
unmap() {
    for letter in $mapped; do
        rm -f "$devices/$letter:"
    done
}
trap unmap EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    letter=$(printf '%s' "${1%%=*}" | tr 'A-Z' 'a-z')
    directory=${1#*=}
    mkdir -p "$directory"
    mapped="$mapped $letter"
    ln -sfn "$(cd "$directory" && pwd)" "$devices/$letter:"
    shift
done
[ $# -ge 2 ] || usage
shift

status=0
"$@" || status=$?
exit $status
