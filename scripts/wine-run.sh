#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's prefix and a Japanese locale
# (code page 932), passing its exit status through. ORVANE_WINE names another loader (the
# 32-bit one: scripts/wine32-run.sh).
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-orvane}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
exec "${ORVANE_WINE:-/usr/lib/wine/wine64}" "$@"
