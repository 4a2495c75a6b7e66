#!/usr/bin/env bash
# One entry point for newcomers, CI and developers:
#   ./dev.sh example   install what is missing, build, run the example through xlhost
#   ./dev.sh test      install what is missing, build, run every test
#   ./dev.sh bench     install what is missing, build, run the benchmarks
#   ./dev.sh windows   cross-build the Windows add-ins into dist/
#   ./dev.sh docs      regenerate the README's function reference
set -euo pipefail
cd "$(dirname "$0")"

BUILD=${BUILD:-build}
PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libffi-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64)

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if ((${#missing[@]})); then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

build() {
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$BUILD"
}

# The Windows add-ins, cross-built for 32- and 64-bit Excel, into dist/;
# the 64-bit build also makes the Windows xlhost that runs them under Wine.
build_windows() {
  for arch in x86_64 i686; do
    cmake -S . -B "$BUILD-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-$arch.cmake >/dev/null
    cmake --build "$BUILD-$arch"
  done
  mkdir -p dist/win32 dist/win64
  cp "$BUILD-i686/bin/Ambrel.xll" "$BUILD-i686/bin/Corvel.xll" dist/win32/
  cp "$BUILD-x86_64/bin/Ambrel.xll" "$BUILD-x86_64/bin/Corvel.xll" dist/win64/
}

case "${1:-}" in
  deps) deps ;;
  build) deps; build ;;
  example)
    deps; build
    examples/propofol_tci.sh "$BUILD/bin/xlhost"
    ;;
  test)
    deps
    build_windows
    build -DAMBREL_WINDOWS_HOST_DIR="$PWD/$BUILD-x86_64/bin" -DAMBREL_DIST_DIR="$PWD/dist"
    ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
    ;;
  windows)
    deps; build_windows
    ;;
  docs)
    deps; build
    {
      awk '/<!-- functions:begin -->/ {print; exit} {print}' README.md
      "$BUILD/bin/xlhost" --list --markdown
      awk 'on {print} /<!-- functions:end -->/ {on=1; print}' README.md
    } > README.md.new
    mv README.md.new README.md
    ;;
  bench)
    deps; build
    "$BUILD/bench/pk_bench" "${@:2}"
    ;;
  *)
    echo "usage: $0 {example|test|bench|windows|docs|build|deps}" >&2
    exit 2
    ;;
esac
