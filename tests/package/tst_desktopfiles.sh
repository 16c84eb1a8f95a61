#!/usr/bin/env bash
# Validates the desktop entry, the AppStream metainfo, the icon and the manual
# page. Exit 77 (skipped) when a validator is missing.
set -euo pipefail
dir=$1
for tool in appstreamcli desktop-file-validate xmllint man; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
desktop-file-validate "$dir/velmaro.desktop"
appstreamcli validate --no-net "$dir/org.velmaro.Velmaro.metainfo.xml"
xmllint --noout "$dir/velmaro.svg"
# man reports roff mistakes on standard error without failing.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$dir/velmaro.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "velmaro.1: $warnings"; exit 1; }
echo "desktop entry, metainfo, icon and manual page are valid"
