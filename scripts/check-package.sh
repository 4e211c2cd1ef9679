#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package from a built tree (default build/) and checks it
# as Debian and the desktop see it: lintian, with no error and no warning,
# then the AppStream metadata and the desktop entry as the package installs
# them (validate-tree also checks that the metadata's desktop entry is there).
set -euo pipefail
build=$(realpath "${1:-build}")

out="$build/package-check"
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(echo "$out"/marovane_*.deb)
echo "Checking $(basename "$deb")"

as_root=()
[ "$(id -u)" -ne 0 ] || as_root=(--allow-root)
lintian "${as_root[@]}" --fail-on error,warning "$deb"

tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --no-net "$tree"
desktop-file-validate "$tree"/usr/share/applications/*.desktop

# lintian does not compare versions: a new one needs its changelog entry and
# its AppStream release.
version=$(dpkg-deb -f "$deb" Version)
changelog=$(zcat "$tree"/usr/share/doc/marovane/changelog.gz | dpkg-parsechangelog -l - -S Version)
release=$(grep -o -m1 '<release version="[^"]*"' "$tree"/usr/share/metainfo/*.metainfo.xml | cut -d'"' -f2)
if [ "$changelog" != "$version" ] || [ "$release" != "$version" ]; then
  echo "Version $version, changelog entry $changelog, AppStream release $release: they must agree." >&2
  exit 1
fi
echo "The package passes lintian, appstreamcli and desktop-file-validate; its versions agree."
