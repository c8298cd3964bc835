#!/usr/bin/env bash
# make-deb.sh BUILD_DIR: makes BUILD_DIR/tempix_<version>_amd64.deb from the build's program, the way
# Debian installs a desktop program: /usr/bin/tempix on Debian's own wxWidgets and GTK (no copies),
# its catalogues under /usr/share/locale, the help and the sample server list in /usr/share/tempix,
# the README, copyright and changelog in /usr/share/doc/tempix, the menu entry, its icon, the
# AppStream data and the manual page. Prints the package's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
here=$root/dist/deb
version=$(sed -n 's/^project(Tempix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
package=$build/tempix_${version}_amd64.deb
stage=$build/deb/tempix
rm -rf "$build/deb"
mkdir -p "$stage/DEBIAN"
umask 022

install -D -m 0755 "$build/bin/Tempix" "$stage/usr/bin/tempix"
# The build's binary: no debugging data, no run path (the libraries are the system's).
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/tempix"
chrpath -d "$stage/usr/bin/tempix" >/dev/null
install -D -m 0644 "$build/bin/locale/pl/LC_MESSAGES/cport.mo" "$stage/usr/share/locale/pl/LC_MESSAGES/cport.mo"
install -d "$stage/usr/share/tempix/help"
install -m 0644 "$root"/help/*.html "$stage/usr/share/tempix/help/"
install -m 0644 "$root/dist/sndata.txt" "$stage/usr/share/tempix/sndata.txt"
doc=$stage/usr/share/doc/tempix
install -D -m 0644 "$here/README" "$doc/README"
install -m 0644 "$here/copyright" "$doc/copyright"
gzip -9n <"$here/changelog" >"$doc/changelog.gz"
chmod 0644 "$doc/changelog.gz"
install -D -m 0644 "$here/org.tempix.Tempix.desktop" "$stage/usr/share/applications/org.tempix.Tempix.desktop"
install -D -m 0644 "$build/app/tempix.png" "$stage/usr/share/icons/hicolor/64x64/apps/org.tempix.Tempix.png"
install -D -m 0644 "$here/org.tempix.Tempix.metainfo.xml" "$stage/usr/share/metainfo/org.tempix.Tempix.metainfo.xml"
install -d "$stage/usr/share/man/man1"
gzip -9n <"$here/tempix.1" >"$stage/usr/share/man/man1/tempix.1.gz"
chmod 0644 "$stage/usr/share/man/man1/tempix.1.gz"

# The libraries' packages as dpkg-shlibdeps finds them, which wants a source package's control file.
shlibs=$(mkdir -p "$build/deb/src/debian" && cd "$build/deb/src" &&
         printf 'Source: tempix\n\nPackage: tempix\nArchitecture: amd64\n' >debian/control &&
         dpkg-shlibdeps -O "$stage/usr/bin/tempix" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "make-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }
cat >"$stage/DEBIAN/control" <<CONTROL
Package: tempix
Version: $version
Architecture: amd64
Maintainer: The Tempix developers <tempix@tempix.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs
Recommends: xdg-utils
Suggests: wx3.2-i18n
Section: utils
Priority: optional
Description: stopwatch that captures the PC's UTC time to the millisecond
 Tempix shows the PC's UTC clock live to the millisecond and captures that
 time when a trigger fires: a chosen key, a left click in mouse-lock mode, or
 a push-button or light barrier on the CTS line of a serial port. Each
 captured time is shown big and appended to a log; a record is on the disk
 before it counts as written. It can also set the PC clock from an SNTP time
 server. The user interface is Polish.
CONTROL
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
