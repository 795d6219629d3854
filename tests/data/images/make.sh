#!/usr/bin/env bash
# Regenerates photo.pdf: Chromium prints photo.html, an Arabic caption with a
# PNG drawing (written with zlib alone) and a small JPEG photo (a page of
# ../arabic_tagged.pdf rendered by pdftoppm). Needs chromium and poppler-utils.
set -euo pipefail
cd "$(dirname "$0")"
python3 make_images.py
pdftoppm -jpeg -r 12 -f 1 -l 1 -singlefile ../arabic_tagged.pdf photo
chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
  --print-to-pdf=photo.pdf "file://$PWD/photo.html" 2>/dev/null
