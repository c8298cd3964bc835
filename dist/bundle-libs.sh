#!/usr/bin/env bash
# bundle-libs.sh EXE LIBDIR: copies into LIBDIR, under their sonames, the shared libraries EXE needs
# that a desktop with GTK 3 does not bring by itself: the toolkit's wx libraries and what they need
# beyond GTK, X11 and the C and C++ run-times. The executable finds them through its run path,
# $ORIGIN/lib.
set -euo pipefail
exe=$1
dest=$2
mkdir -p "$dest"
# awk reads the listing to its end: a reader that stopped at the first match would leave ldconfig to
# die of SIGPIPE, and the pipeline with it.
gtk=$(ldconfig -p | awk '$1 == "libgtk-3.so.0" && gtk == "" { gtk = $NF } END { print gtk }')
[ -n "$gtk" ] || { echo "bundle-libs: no libgtk-3.so.0 on this machine" >&2; exit 1; }
# What every such desktop has: GTK 3 and everything it loads, and the run-times.
declare -A present=([libgtk-3.so.0]=1 [libc.so.6]=1 [libm.so.6]=1 [libstdc++.so.6]=1 [libgcc_s.so.1]=1
                    [libpthread.so.0]=1 [libdl.so.2]=1 [librt.so.1]=1 [ld-linux-x86-64.so.2]=1)
while read -r name _; do present[$name]=1; done < <(ldd "$gtk" | awk '/=>/ { print $1 }')
# The machine's own copies, never anything the executable's run path already points at.
LD_LIBRARY_PATH='' ldd "$exe" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }' | while read -r name path; do
  [ -n "${present[$name]:-}" ] && continue
  case "$path" in "$dest"/*) continue ;; esac
  cp -L "$path" "$dest/$name"
  chmod 0644 "$dest/$name"
done
