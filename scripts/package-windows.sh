#!/usr/bin/env bash
# Makes the Windows release in dist/:
#   pindlewick-VERSION-win64.zip        the programs and README.txt in one folder
#   pindlewick-VERSION-win64-setup.exe  an NSIS installer: Program Files, the
#                                       Start menu, an uninstaller
# Builds what is missing first (the Windows libraries, the windows preset) and
# installs the programs stripped through the build's install rules, so each
# program those rules name is packaged. Running it again remakes both files.
#
#   package-windows.sh [--check]
#
# --check then installs the installer silently under Wine, in a prefix of its
# own (build/package-windows-wine), checks the files and shortcuts, runs the
# installed pindlewick-cli.exe --help, uninstalls silently and checks that
# nothing is left.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly build=build/windows
readonly stage_root=build/package-windows
readonly jobs=${PINDLEWICK_JOBS:-2}

check=false
case ${1:-} in
  "") ;;
  --check) check=true ;;
  *)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

version=$(sed -n 's/^project(Pindlewick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z $version ]]; then
  echo "no project(Pindlewick VERSION ...) in CMakeLists.txt" >&2
  exit 1
fi
readonly name=pindlewick-$version-win64
readonly stage=$stage_root/$name

bash scripts/windows-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

rm -rf "$stage_root"
cmake --install "$build" --prefix "$stage_root/install" --strip >/dev/null
mkdir -p "$stage"
cp "$stage_root"/install/bin/*.exe "$stage/"

# A program built without an install rule would be missing from the release.
for built in "$build"/app/*/*.exe; do
  if [[ ! -f $stage/$(basename "$built") ]]; then
    echo "$built has no install rule: add install(TARGETS ...) to its CMakeLists.txt" >&2
    exit 1
  fi
done

# Lines marked @window@ speak of the window: kept when it is built. Notepad on
# every Windows 10 reads UTF-8 with a byte-order mark and CRLF lines.
if [[ -f $stage/pindlewick.exe ]]; then window_lines='s/^@window@//'; else window_lines='/^@window@/d'; fi
{
  printf '\xef\xbb\xbf'
  sed -e "$window_lines" -e "s/@VERSION@/$version/" -e 's/$/\r/' data/windows/README.txt
} >"$stage/README.txt"

mkdir -p dist
rm -f "dist/$name.zip" "dist/$name-setup.exe"
(cd "$stage_root" && cmake -E tar cf "$OLDPWD/dist/$name.zip" --format=zip "$name")

nsis_defines=(-DVERSION="$version" -DSTAGE="$PWD/$stage" -DOUTFILE="$PWD/dist/$name-setup.exe")
if [[ -f $stage/pindlewick.exe ]]; then
  nsis_defines+=(-DWITH_WINDOW)
fi
makensis -V2 -INPUTCHARSET UTF8 "${nsis_defines[@]}" data/windows/pindlewick.nsi

staged=$(cd "$stage" && echo *)
echo "== $name: $staged" >&2
ls -l "dist/$name.zip" "dist/$name-setup.exe" >&2

# --- checking the installer under Wine ---------------------------------------

fail() {
  echo "installer check: $*" >&2
  exit 1
}

check_installer() {
  export WINEPREFIX=$PWD/build/package-windows-wine WINEDEBUG=-all
  # No offers to install .NET or the HTML engine, and no menu entries made
  # on this machine for the Start menu's shortcuts.
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
  local wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver
  local drive=$WINEPREFIX/drive_c
  local folder="$drive/Program Files/Pindlewick"
  local menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Pindlewick"

  # What an earlier, failed check left there must not pass for this install.
  rm -rf "$folder" "$menu"
  echo "== installing under Wine ($WINEPREFIX)" >&2
  "$wine" "dist/$name-setup.exe" /S 2>/dev/null || fail "the installer failed"
  "$server" -w
  local file
  for file in "$stage"/*; do
    cmp -s "$file" "$folder/$(basename "$file")" || fail "$(basename "$file") not installed"
  done
  [[ -f $folder/Uninstall.exe ]] || fail "no uninstaller"
  [[ -f "$menu/Pindlewick 命令行.lnk" ]] || fail "no Start-menu entry for the command line"
  if [[ -f $stage/pindlewick.exe && ! -f $menu/Pindlewick.lnk ]]; then
    fail "no Start-menu entry for the window"
  fi
  local help
  if ! help=$("$wine" 'C:\Program Files\Pindlewick\pindlewick-cli.exe' --help 2>&1) ||
    [[ $help != "usage: pindlewick-cli "* ]]; then
    fail "the installed pindlewick-cli.exe --help did not run"
  fi

  echo "== uninstalling under Wine" >&2
  # The uninstaller runs from a copy of itself: wait for the server's programs.
  "$wine" 'C:\Program Files\Pindlewick\Uninstall.exe' /S 2>/dev/null || fail "the uninstaller failed"
  "$server" -w
  [[ ! -e $folder ]] || fail "the uninstaller left $folder"
  [[ ! -e $menu ]] || fail "the uninstaller left the Start-menu folder"
  echo "== installer check passed: $staged installed, --help ran, uninstalled" >&2
}

if $check; then
  check_installer
fi
