#!/usr/bin/env bash
# Installs every Debian package the project needs, skipping those already present.
# Works as root on a fresh Debian 12 machine, or through sudo elsewhere.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config
  # core libraries
  libcurl4-openssl-dev libicu-dev libpcre2-dev
  # the video site's answers (JSON) and request signature (MD5 from libcrypto)
  nlohmann-json3-dev libssl-dev
  # the window, and a font that shows its Chinese texts
  qt6-base-dev fonts-wqy-microhei
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3
  # fuzzing: clang with libFuzzer and its FuzzedDataProvider
  clang libclang-rt-14-dev
  # fixture servers used by the HTTP and download tests
  nginx-light tinyproxy openssl curl
  # peers and peak memory of the benchmark command
  wget time
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if ((EUID == 0)); then
  as_root=()
else
  as_root=(sudo)
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
