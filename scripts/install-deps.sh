#!/usr/bin/env bash
# Installs the Debian packages Corvanta builds and tests with, skipping those already present.
set -euo pipefail
[ -n "${SKIP_DEPS:-}" ] && exit 0

packages=(g++ make cmake pkg-config qt6-base-dev qt6-serialport-dev libhunspell-dev hunspell-en-us
          fonts-liberation fonts-dejavu-core xvfb xauth x11-utils x11-xserver-utils imagemagick poppler-utils
          dpkg-dev lintian desktop-file-utils appstream
          clang libclang-rt-14-dev  # these two build the fuzz targets (make fuzz-smoke)
          liblo-dev qt6-httpserver-dev qt6-websockets-dev libqrencode-dev)
# The phone page's browser test; that one test is skipped where these cannot be installed.
optional=(chromium chromium-driver python3-selenium)

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "This system has no apt-get. Install these packages (or your system's equivalents) by hand:" >&2
  echo "  ${packages[*]}" >&2
  echo "then run make again with SKIP_DEPS=1." >&2
  exit 1
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
missing_optional=()
for p in "${optional[@]}"; do
  installed "$p" || missing_optional+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_optional[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq --no-install-recommends "${missing_optional[@]}" \
    || echo "Could not install ${missing_optional[*]}: the phone page's browser test will be skipped." >&2
fi
