#!/usr/bin/env bash
# Builds the Debian package from debian/ into build/package/ (or
# $CHIMEWELL_PACKAGE_DIR): chimewell_<version>_<arch>.deb and its .changes.
# The source is copied first, so dpkg-buildpackage's output and its object
# folder stay out of the source tree. Uses ccache when it is there.
# CHIMEWELL_CHARACTERS_FROM=DIR copies characters drawn by another build of the
# same sources instead of drawing them again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${CHIMEWELL_PACKAGE_DIR:-$top/build/package}
version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
src=$out/chimewell-$version
start=$(date +%s)

rm -rf "$src"
rm -f "$out"/chimewell_"$version"_* "$out"/chimewell-dbgsym_"$version"_*
mkdir -p "$src"
if git -C "$top" rev-parse --git-dir >/dev/null 2>&1; then
  # The working tree as it stands, tracked and new files, never build output.
  git -C "$top" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$top/$f" ] && printf '%s\0' "$f"; done |
    tar -C "$top" --null -T - -cf - | tar -C "$src" -xf -
else
  tar -C "$top" --exclude='./build*' --exclude='./obj-*' -cf - . | tar -C "$src" -xf -
fi

if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$src
fi
export DEB_BUILD_OPTIONS="nocheck parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}"
# CHIMEWELL_PACKAGE_QUICK=1, for tests: no debug-symbol package, and gzip
# instead of xz, which spends a minute and more squeezing the characters (zip
# archives already) by a fifth. What the package installs is the same.
# Nor the build path mapped out of the objects, and ccache leaves the path out
# of its hashes, so another clone's package build can use this one's objects.
if [ "${CHIMEWELL_PACKAGE_QUICK:-0}" = 1 ]; then
  export DPKG_DEB_COMPRESSOR_TYPE=gzip DEB_BUILD_OPTIONS="$DEB_BUILD_OPTIONS noautodbgsym"
  export DEB_BUILD_MAINT_OPTIONS="${DEB_BUILD_MAINT_OPTIONS:-} reproducible=-fixfilepath" CCACHE_NOHASHDIR=1
fi
(cd "$src" && dpkg-buildpackage -us -uc -b)

arch=$(dpkg-architecture -qDEB_HOST_ARCH)
echo "Built $out/chimewell_${version}_${arch}.deb in $(( $(date +%s) - start )) s"
