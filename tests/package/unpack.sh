# shellcheck shell=bash
# Sourced: unpack_package BUILD_DIR makes the portable package into a temporary folder and unpacks it
# there; sets work (the folder), tarball and root (the unpacked Tempix folder). On exit the program
# started as $pid is stopped and the folder removed.
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
# shellcheck disable=SC2034  # tarball and root are for the scripts that source this
unpack_package() {
  work=$(mktemp -d)
  trap cleanup EXIT
  cpack --config "$1/CPackConfig.cmake" -G TGZ -B "$work/out" >/dev/null
  tarball=$(ls "$work"/out/Tempix-*-linux-x86_64.tar.gz)
  tar -xzf "$tarball" -C "$work"
  root=$(ls -d "$work"/Tempix-*-linux-x86_64)
}
