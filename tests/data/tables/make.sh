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
# Chromium: a right-to-left table without borders under a heading line, its
# columns only white space.
chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
  --print-to-pdf=chromium-borderless.pdf "file://$PWD/chromium-borderless.html" 2>/dev/null
