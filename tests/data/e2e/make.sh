#!/usr/bin/env bash
# Regenerates the end-to-end documents from their sources, each with a real
# producer. Needs: apt-get install pango1.0-tools chromium libreoffice-writer-nogui
# texlive-xetex texlive-lang-arabic fonts-hosny-amiri
set -euo pipefail
cd "$(dirname "$0")"
for name in cairo-tashkeel cairo-numbers; do
  pango-view --no-display --backend=cairo --font="Amiri 18" --rtl --margin=40 --width=520 \
    --wrap=word --output="$name.pdf" "$name.txt"
done
# Chromium writes tagged PDFs; the two columns test geometric order too.
chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
  --print-to-pdf=chromium-columns.pdf "file://$PWD/chromium-columns.html" 2>/dev/null
# LibreOffice, untagged: two right-to-left columns that geometry must order.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
soffice --headless -env:UserInstallation=file://"$work"/profile --convert-to pdf \
  --outdir "$work" libreoffice-columns.fodt >/dev/null 2>&1
mv "$work/libreoffice-columns.pdf" .
# XeLaTeX (texlive-xetex, texlive-lang-arabic) with polyglossia and Amiri.
xelatex -interaction=nonstopmode -output-directory="$work" xetex-mixed.tex >/dev/null
mv "$work/xetex-mixed.pdf" .
