#!/bin/sh
# Replaces the profile folders that Wine links into the Unix home directory with
# plain folders, so that nothing outside the prefix can be reached through them.
# Usage: plain-profile.sh PREFIX
set -eu
for link in "$1"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done
