#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a fresh Debian 12 machine.
# Idempotent: packages already present are skipped by apt.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
PKGS=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev libqt6charts6 libqt6svg6 qt6-qpa-plugins
  libgl-dev libglx-dev libxkbcommon-dev
  sqlite3 libsqlite3-dev libqt6sql6-sqlite unixodbc unixodbc-dev odbcinst tdsodbc libsqliteodbc
  libxlsxwriter-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-arphic-uming fontconfig tango-icon-theme unicode-data unzip
  xvfb xauth x11-utils poppler-utils xlsx2csv
  dpkg-dev lintian desktop-file-utils
  clang-14 libclang-rt-14-dev
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Forms and print formats ask for the face "宋体"; map it to a Ming-style face.
conf=/etc/fonts/conf.d/65-qor-songti.conf
if [ ! -f "$conf" ]; then
  $SUDO tee "$conf" >/dev/null <<'XML'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>宋体</family><prefer><family>AR PL UMing CN</family></prefer></alias>
  <alias binding="same"><family>SimSun</family><prefer><family>AR PL UMing CN</family></prefer></alias>
  <alias><family>sans-serif</family><prefer><family>AR PL UMing CN</family></prefer></alias>
  <alias><family>serif</family><prefer><family>AR PL UMing CN</family></prefer></alias>
</fontconfig>
XML
  $SUDO fc-cache -f >/dev/null 2>&1 || true
fi
