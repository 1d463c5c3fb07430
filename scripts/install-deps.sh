#!/usr/bin/env bash
# Installs the Debian packages the launcher, its tests, tools and benchmarks use.
# Idempotent: packages already present are left alone.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libcurl4-openssl-dev zlib1g-dev libzip-dev libisal-dev nlohmann-json3-dev libcsv-dev
  libspdlog-dev libssl-dev libplist-dev libicu-dev qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  curl openssl zip unzip
  xvfb xauth x11-utils libx11-dev imagemagick nginx-light
  desktop-file-utils xdg-utils
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
