#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tolvane needs.
# Usage: scripts/deps.sh [run|test]   (test adds the packages only the test suite uses)
set -euo pipefail

want=${1:-run}

build_pkgs=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev
  libx11-dev libxext-dev libxfixes-dev libxi-dev libarchive-dev libqpdf-dev zlib1g-dev
  libheif-dev libexiv2-dev libgif-dev libtesseract-dev libopencv-objdetect-dev libpoppler-qt6-dev
  libpoppler-glib-dev libpoppler-cpp-dev libuchardet-dev liblcms2-dev libjpeg62-turbo-dev
  libavformat-dev libavcodec-dev libavutil-dev
)
# libgs-common holds the default CMYK colour profile, for CMYK pictures that carry none.
# exiftool reads back every photo whose tags or location were removed.
# qpdf counts the pages of a PDF's page tree beside the text read from it.
runtime_pkgs=(
  zip unzip tar ffmpeg qpdf
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  fonts-dejavu-core qt6-qpa-plugins
  qt6-image-formats-plugins webp tesseract-ocr-eng opencv-data libgs-common
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav libimage-exiftool-perl
)
# flac, lame and mutagen's mid3v2 tag songs as taggers do.
test_pkgs=(
  locales xvfb xdotool x11-utils trayer xcompmgr hyperfine clang-format git epubcheck qpdf poppler-utils
  python3 pulseaudio pngcheck xclip dbus-daemon
  imagemagick img2pdf tesseract-ocr libtiff-tools ghostscript libheif-examples
  flac lame python3-mutagen
)
# Files as other programs write them: films and songs from other muxers and recorders, photos
# from other image libraries and taggers, PDFs from other producers.
test_pkgs+=(
  mkvtoolnix gstreamer1.0-tools gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly x264
  sox libsox-fmt-base opus-tools vorbis-tools
  graphicsmagick libvips-tools python3-pil exiv2 libavif-bin
  python3-reportlab python3-pikepdf
)

pkgs=("${build_pkgs[@]}" "${runtime_pkgs[@]}")
[ "$want" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The locale tests compare output under a German locale.
if [ "$want" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
