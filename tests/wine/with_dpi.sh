#!/usr/bin/env bash
# with_dpi.sh DPI WINE-RUN PROGRAM [ARGS...]: runs a Windows program under wine with the display at
# DPI (96 is 100 %, 144 is 150 %), as Windows' display scale sets it; 96 again afterwards.
set -euo pipefail
dpi=$1 wine_run=$2
shift 2
set_dpi() { "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
"$wine_run" "$@"
