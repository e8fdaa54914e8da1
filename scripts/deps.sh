#!/usr/bin/env bash
# Installs every package that building, running, testing and benchmarking Vorlane needs, on Debian 12
# (bookworm) or Debian 13 (trixie), read from /etc/os-release. Idempotent: when everything is present it
# installs nothing. Fails loudly when a package cannot be had, or on any other system (then it lists what
# is needed).
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # Qt 6: widgets, concurrency, multimedia (preview player) and its ffmpeg backend; lupdate/lrelease for the
  # translation
  qt6-base-dev qt6-multimedia-dev libqt6multimediawidgets6 qt6-qpa-plugins qt6-translations-l10n
  qt6-tools-dev qt6-l10n-tools
  # Wayland sessions (Debian 12's Qt does not pull the plugin in) and the icon theme of the window's icon
  qt6-wayland hicolor-icon-theme
  # decoding and encoding
  libvips-dev libexiv2-dev libraw-dev libjpeg62-turbo-dev libpng-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  # GIO (move to Trash) and its command line, which the tests use as another program would
  libglib2.0-dev libglib2.0-bin
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3
  imagemagick libimage-exiftool-perl ffmpeg libvips-tools trash-cli
  # windows without a display, fonts for the Chinese interface and the symbols
  xvfb xauth xdotool x11-apps x11-xserver-utils fonts-noto-cjk fonts-material-design-icons-iconfont
  # a desktop's dbus-launch, so that the end-to-end tests see whether the app leaves a bus daemon behind
  dbus-x11 procps
  # peer tools the benchmarks measure against (djpeg: the half-size decode the burst groups are timed against);
  # heif-enc makes a phone's HEIC, thumbnail and all, for the grid benchmark
  time bc libjpeg-turbo-progs libheif-examples
  # validating the desktop entry and the AppStream description; the .deb (CPack reads libraries with file),
  # its manual pages (made from --help) and its check
  desktop-file-utils appstream dpkg-dev file help2man lintian
)

release=""
if [ -r /etc/os-release ]; then
  # shellcheck disable=SC1091
  release="$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")"
fi
case "$release" in
  debian-12) ;;
  # libheif comes in plugins there: the HEVC encoder the tests write HEIC files with is only recommended.
  debian-13) PACKAGES+=(libheif-plugin-x265) ;;
  *)
    echo "deps: this system is not Debian 12 or 13 (os-release says '${release:-nothing}')." >&2
    echo "deps: install these (Debian names; your system's own may differ) and run the build again:" >&2
    printf '  %s\n' "${PACKAGES[@]}" >&2
    exit 1
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: not root and no sudo; install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || { echo "deps: apt-get update failed" >&2; exit 1; }
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2; then
  echo "deps: apt-get install failed for: ${missing[*]}" >&2
  exit 1
fi
