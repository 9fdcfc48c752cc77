#!/usr/bin/env bash
# Cross-builds the libraries the Windows programs link statically, from
# Debian's own source packages at pinned versions, into build/windows-deps/
# prefix: libcurl (Schannel, the Windows certificate store; HTTP only, no
# OpenSSL) and PCRE2 (8- and 16-bit, JIT); and GoogleTest for the Windows
# tests, from the sources Debian's googletest package installs. Does nothing
# when that prefix already holds this exact set.
#
# The sources are fetched with a private apt configuration that lists the
# machine's own Debian archives as deb-src: nothing under /etc/apt changes,
# and apt checks the archive's signatures and the files' checksums.
set -euo pipefail
cd "$(dirname "$0")/.."

# pcre2's security update (10.42-1+deb12u2) has no source in the archive
# (404), so the release version is pinned.
readonly CURL_VERSION=7.88.1-10+deb12u15
readonly PCRE2_VERSION=10.42-1

readonly root=$PWD/build/windows-deps
readonly prefix=$root/prefix
readonly stamp=$prefix/versions
readonly toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
readonly jobs=${PINDLEWICK_JOBS:-2}

bash scripts/install-deps.sh programs tests windows

googletest_version=$(dpkg-query -W -f='${Version}' googletest)
expected="curl $CURL_VERSION, pcre2 $PCRE2_VERSION, googletest $googletest_version, static, mingw-w64 posix"
if [[ -f $stamp && $(<"$stamp") == "$expected" ]]; then
  exit 0
fi

# --- fetching the sources ----------------------------------------------------

apt_dir=$root/apt
apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
)

# The entries of the machine's Debian sources (deb822 and one-line styles)
# whose suites belong to this release, turned into deb-src entries.
write_source_entries() {
  local codename
  # shellcheck disable=SC1091  # the machine's own release file
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    awk -v codename="$codename" '
      BEGIN { RS = ""; ORS = "\n\n" }
      {
        ours = 0; enabled = 1
        n = split($0, lines, "\n")
        for (i = 1; i <= n; i++) {
          if (lines[i] ~ /^Suites:/) {
            m = split(lines[i], suites, /[ \t]+/)
            for (j = 2; j <= m; j++) if (suites[j] ~ ("^" codename "(-|$)")) ours = 1
          }
          if (lines[i] ~ /^Enabled:[ \t]*no/) enabled = 0
        }
        if (!ours || !enabled) next
        out = ""
        for (i = 1; i <= n; i++) {
          if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
          out = out lines[i] "\n"
        }
        printf "%s\n", out
      }' "$file"
  done
  # One-line entries: "deb [options] URI SUITE COMPONENTS..."
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    if [[ -f $file ]]; then cat "$file"; fi
  done |
    awk -v codename="$codename" '
      $1 == "deb" {
        suite = 3
        if ($2 ~ /^\[/) { while (suite <= NF && $(suite - 1) !~ /\]$/) suite++; suite++ }
        if ($suite !~ ("^" codename "(-|$)")) next
        $1 = "deb-src"; print
      }' >"$apt_dir/sources.list.d/one-line.list"
}

fetch_sources() {
  rm -rf "$apt_dir" "$root/src"
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$root/src"
  write_source_entries >"$apt_dir/sources.list.d/release.sources"
  echo "== fetching the sources of curl $CURL_VERSION and pcre2 $PCRE2_VERSION" >&2
  apt-get "${apt_options[@]}" update -q
  # apt drops to its own user to download; let it write where the files go.
  if id _apt >/dev/null 2>&1; then chown -R _apt "$apt_dir" "$root/src"; fi
  (cd "$root/src" && apt-get "${apt_options[@]}" source -q "curl=$CURL_VERSION" "pcre2=$PCRE2_VERSION")
}

# --- building ----------------------------------------------------------------

# Configures, builds and installs one CMake project into the prefix.
cross_build() {
  local name=$1 source=$2
  shift 2
  echo "== building $name for Windows" >&2
  cmake -S "$source" -B "$root/build/$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@" >"$root/build/$name.log"
  cmake --build "$root/build/$name" -j "$jobs" >>"$root/build/$name.log"
  cmake --install "$root/build/$name" >>"$root/build/$name.log"
}

build_libraries() {
  rm -rf "$prefix" "$root/build"
  mkdir -p "$root/build"
  cross_build pcre2 "$root/src/pcre2-${PCRE2_VERSION%-*}" \
    -DPCRE2_BUILD_PCRE2_8=ON \
    -DPCRE2_BUILD_PCRE2_16=ON \
    -DPCRE2_SUPPORT_JIT=ON \
    -DPCRE2_BUILD_PCRE2GREP=OFF \
    -DPCRE2_BUILD_TESTS=OFF
  cross_build curl "$root/src/curl-${CURL_VERSION%-*}" \
    -DBUILD_CURL_EXE=OFF \
    -DBUILD_TESTING=OFF \
    -DENABLE_MANUAL=OFF \
    -DHTTP_ONLY=ON \
    -DCURL_USE_SCHANNEL=ON \
    -DCURL_USE_OPENSSL=OFF \
    -DCURL_USE_LIBSSH2=OFF \
    -DUSE_LIBIDN2=OFF \
    -DUSE_NGHTTP2=OFF \
    -DCURL_ZLIB=OFF \
    -DCURL_BROTLI=OFF \
    -DCURL_ZSTD=OFF \
    -DCURL_DISABLE_LDAP=ON
  cross_build googletest /usr/src/googletest
}

started=$(date +%s)
fetch_sources
build_libraries
rm -rf "$root/src" "$root/build" "$apt_dir"
echo "$expected" >"$stamp"
echo "== Windows libraries ready in $prefix ($(($(date +%s) - started)) s)" >&2
