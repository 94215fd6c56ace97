# Shared by scripts/run and scripts/test: the build folders and the two builds.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${HALVORN_BUILD:-$ROOT/build}
JOBS=$(nproc)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Extra arguments go to cmake's configuration.
build_windows() {
  cmake -S "$ROOT" -B "$BUILD/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" "$@" >/dev/null
  cmake --build "$BUILD/win" -j "$JOBS"
}

# The Windows tree as 64-bit code, for machines that cannot run 32-bit code (below).
build_windows64() {
  cmake -S "$ROOT" -B "$BUILD/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
  cmake --build "$BUILD/win64" -j "$JOBS"
}

# Some kernels are started with their 32-bit emulation off: no i386 program runs there,
# wine's 32-bit loader included. The 32-bit binaries are still built; their tests then run
# on the same tree built as 64-bit code under wine64.
# HALVORN_NO_32BIT=1 acts as such a machine, to try its lanes on one that runs 32-bit code.
can_run_32bit() {
  [ "${HALVORN_NO_32BIT:-}" != 1 ] && [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The Windows build whose programs this machine runs, and its loader.
select_windows_build() {
  if can_run_32bit; then
    WINBUILD="$BUILD/win"; WINE=wine; WINEARCH_NAME=win32
  else
    WINBUILD="$BUILD/win64"; WINE=/usr/lib/wine/wine64; WINEARCH_NAME=win64
  fi
}

build_native() {
  cmake -S "$ROOT" -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD/native" -j "$JOBS"
}

# A wine prefix with the null display driver (windows without X), for the selected build.
init_prefix() {
  local prefix=$1
  select_windows_build
  if [ ! -f "$prefix/.halvorn-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    WINEPREFIX="$prefix" WINEARCH=$WINEARCH_NAME "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -w
    touch "$prefix/.halvorn-ready"
  fi
}

stop_prefixes() {
  for p in "$BUILD"/win*/wineprefix "$BUILD"/win*/wineprefixes/* "$BUILD"/run/wineprefix; do
    [ -d "$p" ] && WINEPREFIX="$p" wineserver -k 2>/dev/null || true
  done
}
