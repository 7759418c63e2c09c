#!/usr/bin/env bash
# The Windows release as a user gets it. For both zips of scripts/dist.sh: the files inside, the
# executables stripped, without a build path or a link time, with a version resource, importing
# only system DLLs; a second run gives the same bytes. Then the win64 zip unpacked into a new,
# empty Wine prefix, away from the build tree: orvane-cli.exe scans virtual drives, orvane.exe's
# window appears on a virtual display, and its help menu opens the help page. (The win32 zip's
# programs need a 32-bit kernel to run: the checks before are all it gets here.)
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "dist-test: $*" >&2; exit 1; }
bash scripts/dist.sh >/dev/null
version=$(bash scripts/release-version.sh)
program=$(sed -n 's/^#define ORVANE_VERSION_TEXT "\(.*\)"$/\1/p' src/app/version_text.h)
work=$(mktemp -d)
trap 'WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|msvcrt)\.dll$'
for bits in win32 win64; do
  zip=dist/orvane-$version-$bits.zip
  cp "$zip" "$work/first.zip"
  name=orvane-$version-$bits
  listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  expected="$name/LICENSE.txt $name/README.txt $name/orvane-cli.exe $name/orvane.exe $name/orvane.htm "
  [ "$listed" = "$expected" ] || fail "$zip holds $listed"
  rm -rf "$work/$bits" && unzip -q "$zip" -d "$work/$bits"
  triple=$([ "$bits" = win32 ] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32)
  for exe in orvane.exe orvane-cli.exe; do
    file=$work/$bits/$name/$exe
    # Whole outputs first: grep -q ending a pipe early would fail it under pipefail.
    headers=$("$triple-objdump" -p "$file")
    dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
    bad=$(grep -Ev "$allowed" <<<"$dlls" || true)
    [ -z "$bad" ] || fail "$bits $exe imports $bad"
    grep -q '^Time/Date.*1970' <<<"$headers" || fail "$bits $exe carries its link time"
    grep -q '\.debug' <<<"$("$triple-objdump" -h "$file")" && fail "$bits $exe has debug information"
    grep -q 'no symbols' <<<"$("$triple-objdump" -t "$file" 2>&1)" || fail "$bits $exe is not stripped"
    grep -qaF "$PWD" "$file" && fail "$bits $exe holds the path of the build ($PWD)"
    grep -qx "$program" <<<"$(strings -el "$file")" || fail "$bits $exe has no version resource saying $program"
  done
done
# The same commit again: the same bytes.
bash scripts/dist.sh win64 >/dev/null
cmp -s "$work/first.zip" "dist/orvane-$version-win64.zip" || fail "a second make dist gave other bytes"
sha256sum -c --quiet "dist/orvane-$version-win64.zip.sha256" --status 2>/dev/null ||
  (cd dist && sha256sum -c --quiet "orvane-$version-win64.zip.sha256") || fail "the .sha256 does not match"

# A new, empty prefix, and the programs run from where they were unpacked.
app=$work/win64/orvane-$version-win64
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
scan=$(cd "$app" && /usr/lib/wine/wine64 orvane-cli.exe --virtual-only --virtual E=dvdram scan 2>&1) ||
  fail "orvane-cli.exe scan: $scan"
grep -q '^E: ' <<<"$scan" || fail "orvane-cli.exe lists no drive E: $scan"
# The help page opens through the shell's "open" verb: this prefix's handler of .htm notes what
# it was asked to open.
/usr/lib/wine/wine64 reg add 'HKLM\Software\Classes\.htm' /ve /d orvanehelp /f >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKLM\Software\Classes\orvanehelp\shell\open\command' /ve \
  /d 'cmd.exe /c echo "%1" > C:\help-opened.txt' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  cd "$1"
  /usr/lib/wine/wine64 orvane.exe >/dev/null 2>&1 &
  window=$(timeout 120 xdotool search --sync --name "^Orvane - DVD-RAM Utility\$" | head -n 1)
  [ -n "$window" ] || { echo "no window titled Orvane - DVD-RAM Utility" >&2; exit 1; }
  xdotool windowfocus "$window"  # (no window manager on the virtual display to activate it)
  sleep 2
  # Help menu, its first item "説明".
  xdotool key --window "$window" alt+h
  sleep 1
  xdotool key Down Return
  for _ in $(seq 60); do [ -s "$WINEPREFIX/drive_c/help-opened.txt" ] && break; sleep 1; done
  /usr/lib/wine/wineserver -k
' dist-test "$app" || fail "the window did not come up"
grep -qi 'orvane.htm' "$WINEPREFIX/drive_c/help-opened.txt" 2>/dev/null || fail "the help menu did not open orvane.htm"
echo "dist-test: $(cd dist && ls orvane-"$version"-win*.zip | tr '\n' ' ')pass"
