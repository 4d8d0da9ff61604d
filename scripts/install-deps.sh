#!/usr/bin/env bash
# Installs the Debian packages Corvanta builds and tests with, skipping those already present.
set -euo pipefail

packages=(g++ make cmake pkg-config qt6-base-dev qt6-serialport-dev libhunspell-dev hunspell-en-us
          fonts-liberation fonts-dejavu-core xvfb xauth imagemagick poppler-utils)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
