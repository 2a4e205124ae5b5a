#!/usr/bin/env bash
# Xendora's one entry point.
#   ./build.sh test    install what is missing, build with sanitizers (benchmarks compiled, not
#                      run), run every test
#   ./build.sh build   install what is missing, release build with benchmarks, start nothing
#   ./build.sh run     build, then start Xendora
#   ./build.sh fuzz    clang build of the fuzz targets (libFuzzer, ASan+UBSan) into build-fuzz/fuzz/
# XENDORA_CLANG=1 builds test and build with clang 14 instead, into build-test-clang/ and
# build-clang/.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
TOP=$PWD

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libgtest-dev libgmock-dev
  fontconfig fonts-liberation2
  python3 python3-olefile libgsf-bin poppler-utils
  libblkid-dev
)
SUFFIX=
if [ "${XENDORA_CLANG:-0}" = 1 ] || [ "${1:-}" = fuzz ]; then
  PACKAGES+=(clang-14 libclang-rt-14-dev)
  export CC=clang-14 CXX=clang++-14
fi
if [ "${XENDORA_CLANG:-0}" = 1 ]; then SUFFIX=-clang; fi

say() { printf '%s\n' "$*" >&2; }

ensure_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  say "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# "MS Sans Serif", "Arial" and "Times New Roman" resolve to the metric-compatible Liberation fonts.
ensure_fonts() {
  local dir=${XDG_CONFIG_HOME:-$HOME/.config}/fontconfig/conf.d
  local conf=$dir/60-xendora-aliases.conf
  if ! cmp -s tools/fontconfig-aliases.conf "$conf" 2>/dev/null; then
    mkdir -p "$dir"
    cp tools/fontconfig-aliases.conf "$conf"
    fc-cache -f >/dev/null 2>&1 || true
  fi
}

jobs() { nproc 2>/dev/null || echo 4; }

configure_and_build() { # <build dir> <cmake args...>
  local dir=$1; shift
  cmake -S "$TOP" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(jobs)"
}

do_build() {
  ensure_packages
  ensure_fonts
  configure_and_build "$TOP/build$SUFFIX" -DCMAKE_BUILD_TYPE=Release -DXENDORA_BENCH=ON -DXENDORA_TESTS=OFF
}

do_test() {
  ensure_packages
  ensure_fonts
  configure_and_build "$TOP/build-test$SUFFIX" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DXENDORA_SANITIZE=ON -DXENDORA_TESTS=ON -DXENDORA_BENCH=ON
  export QT_QPA_PLATFORM=offscreen
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$TOP/tools/lsan.supp:print_suppressions=0}
  ctest --test-dir "$TOP/build-test$SUFFIX" --output-on-failure -j "$(jobs)" --timeout 900
}

do_fuzz() {
  ensure_packages
  configure_and_build "$TOP/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXENDORA_FUZZ=ON \
    -DXENDORA_SANITIZE=ON -DXENDORA_TESTS=OFF
  say "Fuzz targets in build-fuzz/fuzz/; run one as: build-fuzz/fuzz/<target> -max_len=32768 <new corpus> <saved corpus>"
}

do_run() {
  do_build
  # The program runs from the build tree, whose folder is the program folder unless XENDORA_HOME
  # names another; a program folder whose component registry lacks the libraries gets them
  # registered at start from beside the executable. A first run starts with the default catalog
  # "Xendora.DKC" in the program folder, created when it opens.
  local bin=$TOP/build$SUFFIX/bin
  local home=${XENDORA_HOME:-$bin}
  mkdir -p "$home"
  if [ ! -e "$home/ctgr.ini" ]; then
    printf '[LastFile]\r\nName=%s\r\n' "$home/Xendora.DKC" >"$home/ctgr.ini"
  fi
  exec "$bin/xendora"
}

case "${1:-}" in
  test)  do_test ;;
  build) do_build ;;
  run)   do_run ;;
  fuzz)  do_fuzz ;;
  *) say "usage: ./build.sh test | build | run | fuzz"; exit 2 ;;
esac
