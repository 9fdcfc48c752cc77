#!/usr/bin/env bash
# Installs the Debian packages of the named groups, skipping those already
# present. Works as root on a fresh Debian 12 machine, or through sudo elsewhere.
#
#   install-deps.sh [GROUP...]   (default: programs tests)
#
#   programs  what building and running pindlewick and pindlewick-cli needs
#   tests     the tests, benchmarks, fuzzers and screenshots on top of that
#   windows   cross-building the Windows programs, running them under Wine and
#             packaging them
set -euo pipefail

PROGRAM_PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config
  # core libraries
  libcurl4-openssl-dev libicu-dev libpcre2-dev
  # the video site's answers (JSON) and request signature (MD5 from libcrypto)
  nlohmann-json3-dev libssl-dev
  # the window, and a font that shows its Chinese texts
  qt6-base-dev fonts-wqy-microhei
)

TEST_PACKAGES=(
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3
  # fuzzing: clang with libFuzzer and its FuzzedDataProvider
  clang libclang-rt-14-dev
  # fixture servers used by the HTTP and download tests
  nginx-light tinyproxy openssl curl
  # prlimit, which runs the command line under a file-size limit in its tests
  util-linux
  # peers and peak memory of the benchmark command
  wget time
)

WINDOWS_PACKAGES=(
  # the cross compiler with std::thread (posix thread model) and its tools
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  # fetching and unpacking Debian's sources of libcurl and PCRE2
  dpkg-dev
  # running the Windows programs and tests
  wine64
  # the Windows installer (scripts/package-windows.sh)
  nsis
  # the window's icon, made from the PNGs
  icoutils
  # the window's tests and pictures under Wine: an X server without a screen,
  # and ImageMagick's import for the pictures
  xvfb imagemagick
)

groups=("$@")
if ((${#groups[@]} == 0)); then
  groups=(programs tests)
fi

wanted=()
for group in "${groups[@]}"; do
  case $group in
    programs) wanted+=("${PROGRAM_PACKAGES[@]}") ;;
    tests) wanted+=("${TEST_PACKAGES[@]}") ;;
    windows) wanted+=("${WINDOWS_PACKAGES[@]}") ;;
    *)
      echo "unknown group: $group (programs, tests or windows)" >&2
      exit 2
      ;;
  esac
done

missing=()
for package in "${wanted[@]}"; do
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
