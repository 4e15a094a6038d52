#!/bin/sh
# make demo: builds the sample machine, maps it as drive D: of a demo prefix whose C:
# is Wine's own installation (with Orvenna installed in it), and runs a whole scan.
# With a display it then opens the window, which scans again on its own ("/S").
# Usage: demo.sh WIN32_BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
demo="$build/demo"

# Windows need a display: without one, the demo runs whole under Xvfb.
if [ -z "${DISPLAY:-}" ] && [ -z "${ORVENNA_DEMO_HEADLESS:-}" ]; then
    exec env ORVENNA_DEMO_HEADLESS=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

/usr/bin/python3 "$root/tests/machines/build_machine.py" "$root/tests/machines/sample.py" "$demo/machine"
"$root/tests/wine/make-prefix.sh" "$demo/prefix"

export WINEPREFIX="$demo/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
while IFS='=' read -r letter folder; do
    ln -sfn "$folder" "$WINEPREFIX/dosdevices/$(printf '%s' "$letter" | tr 'A-Z' 'a-z'):"
done < "$demo/machine/drives.txt"

installed="$WINEPREFIX/drive_c/Program Files/Orvenna"
mkdir -p "$installed"
for program in orvscan.exe qemcom95.dll orvenna.exe; do
    [ -f "$build/bin/$program" ] && cp "$build/bin/$program" "$installed/"
done
# The help viewer is given the bare name ORVENNA.HLP and finds it in the Windows
# directory; Wine's viewer comes without its own guide, WINHELP.HLP.
[ -f "$build/bin/ORVENNA.HLP" ] && cp "$build/bin/ORVENNA.HLP" "$WINEPREFIX/drive_c/windows/"
[ -f "$build/bin/WINHELP.HLP" ] && [ ! -f "$WINEPREFIX/drive_c/windows/winhelp.hlp" ] &&
    cp "$build/bin/WINHELP.HLP" "$WINEPREFIX/drive_c/windows/winhelp.hlp"

/usr/bin/python3 - "$demo/machine/machine.json" <<'PY' | while IFS='	' read -r name count; do
import json, sys
for name, count in json.load(open(sys.argv[1])).get("shared_dlls", {}).items():
    print(f"{name}\t{count}")
PY
    wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs' /v "$name" /t REG_DWORD /d "$count" /f >/dev/null
done

echo "Scanning the demo prefix: C: is Wine's own installation, D: the sample machine."
wine 'C:\Program Files\Orvenna\orvscan.exe' | tee "$demo/result.txt"

# The sample machine is designed to leave a known set of D:'s DLLs unlinked.
/usr/bin/python3 - "$demo/machine/machine.json" "$demo/result.txt" <<'PY'
import json, sys
expected = sorted(json.load(open(sys.argv[1]))["unlinked"], key=str.upper)
listed = [line.strip() for line in open(sys.argv[2], encoding="latin-1")]
on_d = sorted((p for p in listed if p.upper().startswith("D:\\")), key=str.upper)
if [p.upper() for p in on_d] == [p.upper() for p in expected]:
    print(f"D: lists exactly the {len(expected)} DLLs the sample machine is designed to leave unlinked.")
else:
    print("D: differs from the sample machine's design:", file=sys.stderr)
    print("  expected:", " ".join(expected), file=sys.stderr)
    print("  listed:  ", " ".join(on_d), file=sys.stderr)
    sys.exit(1)
PY

if [ -z "${ORVENNA_DEMO_HEADLESS:-}" ] && [ -f "$installed/orvenna.exe" ]; then
    echo "Opening the window; it scans on its own."
    wine 'C:\Program Files\Orvenna\orvenna.exe' /S
fi

# End the prefix's session while its display still exists.
wineserver -k 2>/dev/null || true
