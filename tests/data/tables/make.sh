#!/usr/bin/env bash
# Regenerates the table documents from their sources with real producers.
# Needs: apt-get install libreoffice-writer-nogui chromium fonts-hosny-amiri
set -euo pipefail
cd "$(dirname "$0")"
# LibreOffice, untagged: a right-to-left table with a rule around every cell.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
soffice --headless -env:UserInstallation=file://"$work"/profile --convert-to pdf \
  --outdir "$work" libreoffice-ruled.fodt >/dev/null 2>&1
mv "$work/libreoffice-ruled.pdf" .
