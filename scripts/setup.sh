#!/usr/bin/env bash
# Installs, with apt-get and only when missing, everything the project needs
# on a Debian 12 machine. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git python3
  mingw-w64 wine wine64 xvfb xauth imagemagick zip unzip
  googletest libgtest-dev libbenchmark-dev libjpeg62-turbo-dev
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  echo "setup: every package is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
