#!/usr/bin/env bash
# Regenerates arabic_tagged.pdf, a tagged Arabic PDF from a real producer
# (LibreOffice Writer), from arabic_tagged.fodt. Needs soffice
# (libreoffice-writer-nogui) and the Amiri font (fonts-hosny-amiri).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
soffice --headless -env:UserInstallation=file://"$work"/profile \
  --convert-to 'pdf:writer_pdf_Export:{"UseTaggedPDF":{"type":"boolean","value":"true"}}' \
  --outdir "$work" "$here/arabic_tagged.fodt" >/dev/null 2>&1
mv "$work/arabic_tagged.pdf" "$here/arabic_tagged.pdf"
