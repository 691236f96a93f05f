#!/usr/bin/env bash
# Builds the Debian package in a Release build folder and meets it as a user would: lintian, apt-get install,
# the installed tool reading a recording, the file manager's type of a .kvlu file, and a clean removal.
# Needs root (apt-get). Usage: scripts/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: scripts/check-package.sh BUILD_DIR}" && pwd)
cd "$build"
rm -f thermivo_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls thermivo_*.deb)
echo "-- $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Recommends\|Installed-Size\):/   \1:/p'

echo "-- lintian"
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" >lintian.log || true
if [ -s lintian.log ]; then sed 's/^/   /' lintian.log; else echo "   (nothing to report)"; fi
if grep -q '^E:' lintian.log; then echo "check-package: lintian reports errors" >&2; exit 1; fi
# The Release build takes dpkg-buildflags' hardening: lintian must find nothing missing.
if grep -q 'hardening-' lintian.log; then echo "check-package: lintian reports missing hardening" >&2; exit 1; fi

echo "-- install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb" >install.log 2>&1 ||
  { cat install.log; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for program in thermivo thermivo-cli thermivo-sim; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || { echo "check-package: /usr/bin/$program missing" >&2; exit 1; }
  "/usr/bin/$program" --version
  [ -s "/usr/share/man/man1/$program.1.gz" ] || { echo "check-package: no man page for $program" >&2; exit 1; }
  for section in SYNOPSIS ENVIRONMENT; do
    zcat "/usr/share/man/man1/$program.1.gz" | grep -q "^\.SH $section" ||
      { echo "check-package: the man page of $program has no $section" >&2; exit 1; }
  done
done
for f in /usr/lib/udev/rules.d/60-thermivo-ch34x.rules /usr/share/applications/thermivo.desktop \
         /usr/share/icons/hicolor/scalable/apps/thermivo.svg /usr/share/icons/hicolor/48x48/apps/thermivo.png \
         /usr/share/icons/hicolor/128x128/apps/thermivo.png /usr/share/icons/hicolor/256x256/apps/thermivo.png \
         /usr/share/bash-completion/completions/thermivo-cli /usr/share/doc/thermivo/copyright; do
  [ -s "$f" ] || { echo "check-package: $f missing" >&2; exit 1; }
done
appstreamcli validate --no-net /usr/share/metainfo/org.kelvora.thermivo.metainfo.xml

printf '{"kind": 1, "serial": "DI201400007", "startTime": 1393668000, "intervalSeconds": 300,
         "temperature": [5.5, 6, 6.5]}' >"$tmp/in.json"
/usr/bin/thermivo-cli create --from-json "$tmp/in.json" -o "$tmp/day1.kvlu"
/usr/bin/thermivo-cli info "$tmp/day1.kvlu" | tee "$tmp/info.txt"
grep -q "DI201400007" "$tmp/info.txt"
# xdg-mime asks gio on a GNOME desktop; on no desktop it would ask file(1), which knows no recordings.
type=$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$tmp/day1.kvlu")
echo "   xdg-mime: $type"
[ "$type" = "application/x-thermivo-recording" ] || { echo "check-package: .kvlu is $type" >&2; exit 1; }

echo "-- remove"
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq thermivo >remove.log 2>&1 || { cat remove.log; exit 1; }
left=$(dpkg -L thermivo 2>/dev/null || true)
for f in /usr/bin/thermivo /usr/bin/thermivo-cli /usr/share/mime/packages/thermivo.xml \
         /usr/lib/udev/rules.d/60-thermivo-ch34x.rules; do
  [ ! -e "$f" ] || { echo "check-package: $f left after removal" >&2; exit 1; }
done
[ -z "$left" ] || { echo "check-package: dpkg still lists files" >&2; exit 1; }
type=$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$tmp/day1.kvlu")
[ "$type" != "application/x-thermivo-recording" ] || { echo "check-package: MIME type left" >&2; exit 1; }
echo "   removed"
