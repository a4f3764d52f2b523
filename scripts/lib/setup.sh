# Shared set-up for the scripts: install what is missing from Debian's packages, then configure and build.
# Source it; it defines functions and changes nothing by itself.

KELVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
KELVO_BUILD=${KELVO_BUILD:-$KELVO_ROOT/build}

# What building, running and testing the program needs.
KELVO_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libjpeg-dev libpng-dev libtiff-dev libgif-dev libwebp-dev libheif-dev
  libexiv2-dev libturbojpeg0-dev
  fonts-wqy-microhei
  libgtest-dev libbenchmark-dev
)
# What only the tests need on top: a real X server, a window manager, input and screenshots, the accessibility
# bus that the end-to-end test reads the status line from, the validators of the desktop entry and the
# software-centre listing, the fuzzers, what checks the package (Debian's checker, the hardening check in
# devscripts, man), GNU parallel to share out kelvo-gray's work, the formats' own encoders and decoders and the
# independent readers that kelvo-gray's results are held to (Pillow, libwebp's, libtiff's and libheif's tools,
# ImageMagick, exiftool, libjpeg-turbo's cjpeg and djpeg), and FUSE from Python for a folder with a FAT stick's
# name rules.
KELVO_TEST_PACKAGES=(
  xvfb openbox xdotool wmctrl x11-utils x11-apps imagemagick
  python3-pil webp libtiff-tools libheif-examples
  dbus at-spi2-core python3-pyatspi
  desktop-file-utils appstream
  clang libclang-rt-14-dev
  dpkg-dev file lintian devscripts man-db parallel
  libimage-exiftool-perl libjpeg-turbo-progs
  python3-fusepy fuse3
)
# What scripts/lint needs on top: the formatter and the static checker.
KELVO_LINT_PACKAGES=(clang-format clang-tidy)

kelvo_say() { printf '%s\n' "$*" >&2; }

kelvo_install_missing() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  kelvo_say "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# kelvo_configure preset build-folder [extra cmake arguments…]
# Configures with one of the presets in CMakePresets.json, in the folder given rather than the preset's own, with
# the extra arguments on top of the preset's settings.
kelvo_configure() {
  local preset=$1 dir=$2
  shift 2
  cmake -S "$KELVO_ROOT" --preset "$preset" -B "$dir" "$@" >/dev/null
}

# kelvo_build preset build-folder [extra cmake arguments…]: configures as above, then builds everything.
kelvo_build() {
  kelvo_configure "$@"
  cmake --build "$2" -j"$(nproc)"
}
