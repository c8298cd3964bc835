#!/usr/bin/env bash
# make-installer.sh BUILD_WIN_DIR: makes BUILD_WIN_DIR/Tempix-setup.exe, the Windows installer (NSIS),
# from the Windows build's files as the zip has them. Prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
version=$(sed -n 's/^project(Tempix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
stage=$build/installer
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
cp "$build/app/tempix.ico" "$stage/"
makensis -V2 -DSOURCE="$stage" -DVERSION="$version" -DOUTFILE="$build/Tempix-setup.exe" "$root/dist/win/tempix.nsi" >&2
echo "$build/Tempix-setup.exe"
