#!/usr/bin/env bash
# Makes the README's pictures again, through the shell's scripted mode on a fresh demo
# database (no display needed). Run after tools/build.sh.
set -uo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
out=docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" QOR_LOG_DIR="$work"
mkdir -p "$HOME" "$out"
"$bin/qorctl" init-db "$work/demo.db" --demo >/dev/null || exit 1

# A run may end with a dialog still open on purpose (the picture is of the dialog): its exit
# status then says so and is not a failure of this script.
shot() { "$bin/qorhost" -platform offscreen --db "$work/demo.db" --user 1001 "$@" 2>>"$work/runs.log"; }

shot --open tryout --action actRefresh --screenshot "$out/register-list.png"
shot --open tryout --action actRefresh --action actEdit --screenshot "$out/entry-form.png"
shot --open tryout --action actQuery --screenshot "$out/query-dialog.png"
shot --open report --set dtpBgnDate=2025-10-01 --set dtpEndDate=2026-03-14 --action actRefresh \
     --screenshot "$out/summary-report.png"
shot --open report --set dtpBgnDate=2025-10-01 --set dtpEndDate=2026-03-14 --action actRefresh \
     --action actGraph --action pmnx3 --action pmny8 --screenshot "$out/chart.png"
shot --open tryout --action actRefresh --export "$work/list.pdf"
if [ -f "$work/list.pdf" ]; then
  pdftoppm -png -r 70 -f 1 -l 1 -singlefile "$work/list.pdf" "$out/print-preview"
fi
ls -l "$out"/*.png
