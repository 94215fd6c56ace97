# Shared by scripts/run and scripts/test: the build folders and the two builds.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${HALVORN_BUILD:-$ROOT/build}
JOBS=$(nproc)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

build_windows() {
  cmake -S "$ROOT" -B "$BUILD/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" >/dev/null
  cmake --build "$BUILD/win" -j "$JOBS"
}

build_native() {
  cmake -S "$ROOT" -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD/native" -j "$JOBS"
}

# A 32-bit wine prefix with the null display driver (windows without X).
init_prefix() {
  local prefix=$1
  if [ ! -f "$prefix/.halvorn-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    WINEPREFIX="$prefix" WINEARCH=win32 wineboot -i </dev/null >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -w
    touch "$prefix/.halvorn-ready"
  fi
}

stop_prefixes() {
  for p in "$BUILD"/win/wineprefix "$BUILD"/win/wineprefixes/* "$BUILD"/run/wineprefix; do
    [ -d "$p" ] && WINEPREFIX="$p" wineserver -k 2>/dev/null || true
  done
}
