#!/usr/bin/env bash
# Builds the Debian package into build/ (qor-tryout_<version>_<arch>.deb), checks that it holds
# what an installation needs and that lintian finds no error in it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
cd build
rm -f qor-tryout_*.deb
cpack -G DEB >/dev/null
deb=$(ls qor-tryout_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
missing=0
for f in usr/bin/qorhost usr/bin/qorctl \
         "usr/lib/$multiarch/qor-tryout/libtryout.so" "usr/lib/$multiarch/qor-tryout/libqorplatform.so" \
         "usr/lib/$multiarch/qor-tryout/libPubProcDll.so" "usr/lib/$multiarch/qor-tryout/libAppres.so" \
         "usr/lib/$multiarch/qor-tryout/libQorPubConn.so" "usr/lib/$multiarch/qor-tryout/libcommDll.so" \
         "usr/lib/$multiarch/qor-tryout/libcommPrint.so" \
         usr/share/applications/qor-tryout.desktop usr/share/icons/hicolor/scalable/apps/qor-tryout.svg \
         usr/share/icons/hicolor/48x48/apps/qor-tryout.png \
         usr/share/man/man1/qorhost.1.gz usr/share/man/man1/qorctl.1.gz \
         usr/share/doc/qor-tryout/copyright usr/share/doc/qor-tryout/changelog.gz \
         usr/share/qor-tryout/schema/sqlite.sql usr/share/qor-tryout/schema/demo.sql \
         usr/share/qor-tryout/schema/sqlserver/TryOutBK.sql; do
  grep -qx "./$f" <<<"$files" || { echo "missing from the package: $f" >&2; missing=1; }
done
[ "$missing" -eq 0 ] || exit 1
if ! dpkg-deb -f "$deb" Depends | grep -q 'fonts-arphic-uming.*tdsodbc.*libsqliteodbc'; then
  echo "the package does not depend on the font and the ODBC drivers" >&2
  exit 1
fi
# lintian exits non-zero on errors; warnings are shown.
lintian "$deb"
echo "$PWD/$deb"
