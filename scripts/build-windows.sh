#!/usr/bin/env bash
# Cross-builds qte.exe, qte-tool.exe and the tests for 64-bit Windows into
# build-windows/, with Debian's mingw-w64 and Wine, and packs
# build-windows/qte-windows-x86_64.zip. The libraries it
# links (libpng, libjpeg-turbo, Allegro 4.4 with AllegroGL, GoogleTest) are
# built from Debian's sources once, into a prefix under
# ~/.cache/qte-windows/ named after their recipe's and the toolchain file's
# hash. With --test LINUX_TOOL it then runs the core's tests under Wine,
# compares qte-tool.exe with the Linux tool on the demo level and runs the
# Windows tests (tests/windows/test_*.sh: the editor under Wine in Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
linux_tool=""
if [[ "${1:-}" == "--test" ]]; then
  linux_tool=$(realpath "${2:?usage: scripts/build-windows.sh [--test LINUX_QTE_TOOL]}")
fi
scripts/install-deps.sh --windows

jobs=$(nproc)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qte-windows
# The key covers what makes the libraries: the lines between the two
# "libraries" marks below and the toolchain file.
key=$(sed -n '/^# --- libraries ---$/,/^# --- end of libraries ---$/p' "$0" | cat - "$toolchain" | sha256sum | cut -c1-16)
prefix=$cache/$key
quiet() { "$@" > "$cache/last-step.log" 2>&1 || { cat "$cache/last-step.log"; return 1; }; }
mkdir -p "$cache"

# A Wine of our own, kept beside the prefix; one server for the whole run,
# started before any test, or ctest waits on the pipes Wine's services inherit.
export WINEPREFIX=${WINEPREFIX:-$cache/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A server already running (a developer's) is used as it is and left running.
mkdir -p "$WINEPREFIX"
if wineserver -p > /dev/null 2>&1; then
  trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
fi
wineboot > /dev/null 2>&1

# --- libraries ---
# Debian's source of PACKAGE unpacked into DIR with Debian's patches applied.
# A version whose patches are not served any more gives way to an older one
# that has them; the upstream tarball alone, unpatched, is the last resort.
apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$cache/apt/sources.list.d"
             -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt/cache" -o APT::Sandbox::User=root)
fetch_source() {
  local package=$1 dir=$2 version attempt=0
  for version in "" $(apt-cache "${apt_options[@]}" showsrc "$package" | sed -n 's/^Version: //p'); do
    local try=$work/$package/$((attempt++))
    mkdir -p "$try"
    if (cd "$try" && apt-get "${apt_options[@]}" source --download-only -qq "$package${version:+=$version}") \
        > /dev/null 2>&1; then
      quiet dpkg-source -x "$try"/*.dsc "$dir"
      return
    fi
  done
  echo "No patches of $package are served; building its upstream source unpatched"
  mkdir -p "$dir"
  tar -xf "$(ls "$work/$package"/*/*.orig.tar.* | head -n 1)" -C "$dir" --strip-components=1
}

# Configures, builds and installs the CMake project in SOURCE into the prefix.
build_into_prefix() {
  local source=$1
  shift
  quiet cmake -S "$source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQTE_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release "$@"
  quiet cmake --build "$work/build" -j"$jobs"
  quiet cmake --install "$work/build"
  rm -rf "$work/build"
}

if [[ ! -f $prefix/complete ]]; then
  echo "Building the Windows libraries into $prefix"
  work=$(mktemp -d "$cache/work.XXXXXX")
  mkdir -p "$cache/apt/sources.list.d" "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial"
  # Debian's own source lists, as deb-src, in a private apt folder.
  for list in /etc/apt/sources.list.d/debian.sources; do
    sed 's/^Types: deb$/Types: deb-src/' "$list" > "$cache/apt/sources.list.d/$(basename "$list")"
  done
  quiet apt-get "${apt_options[@]}" update
  fetch_source libpng1.6 "$work/libpng"
  fetch_source libjpeg-turbo "$work/libjpeg"
  fetch_source allegro4.4 "$work/allegro"
  build_into_prefix "$work/libpng" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
  # Without nasm libjpeg-turbo's SIMD code cannot be built; the plain code
  # decodes the same pixels.
  build_into_prefix "$work/libjpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
  build_into_prefix "$work/allegro" -DSHARED=OFF -DWANT_ALLEGROGL=ON -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF \
    -DWANT_JPGALLEG=OFF -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF
  build_into_prefix /usr/src/googletest -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF
  # The licences of what an .exe links, for the package.
  mkdir -p "$prefix/licences"
  cp "$work/libpng/LICENSE" "$prefix/licences/libpng.txt"
  cp "$work/libjpeg/LICENSE.md" "$prefix/licences/libjpeg-turbo.md"
  cp "$work/allegro/docs/src/license._tx" "$prefix/licences/allegro.txt"
  cp "$work/allegro/addons/allegrogl/zlib.txt" "$prefix/licences/allegrogl.txt"
  cp /usr/share/doc/libz-mingw-w64/copyright "$prefix/licences/zlib.txt"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$prefix/licences/mingw-w64-runtime.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$prefix/licences/gcc-runtime.txt"
  rm -rf "$work"
  touch "$prefix/complete"
fi
# --- end of libraries ---

echo "Cross-building into build-windows/"
# A build configured against another prefix starts afresh.
fresh=()
if [[ -f build-windows/CMakeCache.txt ]] && ! grep -q "^QTE_WINDOWS_PREFIX:.*=$prefix\$" build-windows/CMakeCache.txt; then
  fresh=(--fresh)
fi
cmake "${fresh[@]}" -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQTE_WINDOWS_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DQTE_EDITOR=ON -DQTE_TESTS=ON > /dev/null
cmake --build build-windows -j"$jobs"

# Every program must run from the package alone: it may import only
# Windows' own DLLs.
for exe in build-windows/qte.exe build-windows/qte-tool.exe; do
  foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -viE \
    '^(kernel32|user32|gdi32|shell32|ole32|comdlg32|opengl32|glu32|ddraw|dsound|dinput8?|winmm|winhttp|crypt32|msvcrt|advapi32)\.dll$' \
    || true)
  [[ -z $foreign ]] || { echo "$exe needs DLLs the package lacks: $foreign"; exit 1; }
done

# The package: the programs, their assets, the demo level, our licence and
# those of everything linked in.
package=build-windows/qte-windows-x86_64
rm -rf "$package" "$package.zip"
mkdir -p "$package/licences"
cp build-windows/qte.exe build-windows/qte-tool.exe build-windows/about.bmp "$package"/
cp -r build-windows/themes build-windows/README build-windows/demo "$package"/
cp LICENSE "$package/LICENSE.txt"
cp "$prefix"/licences/* "$package/licences/"
(cd build-windows && zip -qr9 qte-windows-x86_64.zip qte-windows-x86_64)
echo "Packed build-windows/qte-windows-x86_64.zip ($(du -k build-windows/qte-windows-x86_64.zip | cut -f1) KiB)"

if [[ -n $linux_tool ]]; then
  # Wine cannot start the Python that computes the image suite's reference
  # pixels; they are made here first.
  rm -rf build-windows/image_references
  mkdir build-windows/image_references
  /usr/bin/python3 tests/imaging/image_references.py "$root/build-windows/image_references" "$root/../shared/testimages" \
    2> /dev/null
  (cd build-windows && QTE_IMAGE_REFERENCES=$root/build-windows/image_references ctest --output-on-failure -j"$jobs")
  bash tests/windows/tool_matches_linux.sh "$linux_tool" build-windows/qte-tool.exe "$(dirname "$linux_tool")/demo"
  for script in tests/windows/test_*.sh; do
    echo "Running $script"
    bash "$script" "$root/build-windows" "$root"
  done
fi
