#!/usr/bin/env bash
# Regenerates the stand-in images in resources/widgets/ and the arrows in resources/chat/chat/ with Qt.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++17 -fPIC scripts/make-widget-images.cpp -o "$tmp/make-widget-images" $(pkg-config --cflags --libs Qt5Gui)
QT_QPA_PLATFORM=offscreen "$tmp/make-widget-images" resources
