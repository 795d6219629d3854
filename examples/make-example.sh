#!/usr/bin/env bash
# Regenerates arabic.pdf from arabic.txt with cairo (through pango-view) and
# the Amiri font. Needs: apt-get install pango1.0-tools fonts-hosny-amiri
set -euo pipefail
cd "$(dirname "$0")"
pango-view --no-display --backend=cairo --font="Amiri 16" --rtl --margin=40 --width=500 \
  --wrap=word --output=arabic.pdf arabic.txt
