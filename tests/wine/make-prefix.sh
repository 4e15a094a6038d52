#!/bin/sh
# Makes, once, a Wine prefix for tests or the demo: 32-bit (or of the architecture a
# third argument names: win64 has 64-bit DLLs in System32 and 32-bit ones in SysWOW64),
# no Mono or Gecko installer, no drive Z: (it would expose the whole Unix root to every scan), and
# profile folders as plain folders instead of links into the Unix home. With a second
# argument, drive B: is mapped to that directory (tests reach the build tree there);
# B: is never walked by a scan, which starts at C:.
# Usage: make-prefix.sh PREFIX [B_DIRECTORY [ARCH]]
set -eu
mkdir -p "$(dirname "$1")"
export WINEPREFIX="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
export WINEARCH=${3:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here=$(cd "$(dirname "$0")" && pwd)

# An unmanaged X11 driver: with window-manager decorations asked for and no window
# manager under Xvfb, Wine waits about 2 s on every window it destroys.
init='wineboot --init && wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null && wineserver -w'

if [ ! -f "$WINEPREFIX/.orvenna-ready" ]; then
    # Only ever remove what is a half-made prefix, never a folder given by mistake.
    if [ -e "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/system.reg" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
        echo "make-prefix.sh: $WINEPREFIX exists and is not a Wine prefix" >&2
        exit 1
    fi
    rm -rf "$WINEPREFIX"
    # The prefix's first session must begin on a display, or later windows fail.
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a sh -c "$init"
    else
        sh -c "$init"
    fi
    rm -f "$WINEPREFIX/dosdevices/z:"
    "$here/plain-profile.sh" "$WINEPREFIX"
    touch "$WINEPREFIX/.orvenna-ready"
fi
# Wine draws the caption's buttons itself when no window manager does, with its Marlett
# font; Debian keeps Wine's fonts where the prefix does not look for them.
for font in /usr/share/wine/fonts/*.ttf; do
    target="$WINEPREFIX/drive_c/windows/Fonts/$(basename "$font")"
    [ -f "$font" ] && [ ! -f "$target" ] && cp "$font" "$target"
done
if [ $# -ge 2 ]; then
    ln -sfn "$(cd "$2" && pwd)" "$WINEPREFIX/dosdevices/b:"
fi
