#!/usr/bin/env bash
# Builds the Debian package into build/ (qor-tryout_<version>_<arch>.deb) and lists its files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
cd build
cpack -G DEB
deb=$(ls -t qor-tryout_*.deb | head -1)
dpkg-deb -c "$deb" | awk '{print $6}'
if command -v lintian >/dev/null; then
  # Errors fail the package; warnings are shown.
  lintian --no-tag-display-limit --suppress-tags-from-file /dev/null "$deb" || { echo "lintian found errors in $deb" >&2; exit 1; }
fi
echo "$deb"
