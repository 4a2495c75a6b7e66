#!/usr/bin/env bash
# One entry point for newcomers, CI and developers:
#   ./dev.sh example   install what is missing, build, run the example through xlhost
#   ./dev.sh test      install what is missing, build, run every test
#   ./dev.sh bench     install what is missing, build, run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"

BUILD=${BUILD:-build}
PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libffi-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686)

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
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD"
}

# The Windows add-ins, cross-built for 32- and 64-bit Excel.
build_windows() {
  for arch in x86_64 i686; do
    cmake -S . -B "$BUILD-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-$arch.cmake >/dev/null
    cmake --build "$BUILD-$arch"
  done
}

case "${1:-}" in
  deps) deps ;;
  build) deps; build ;;
  example)
    deps; build
    examples/propofol_tci.sh "$BUILD/bin/xlhost"
    ;;
  test)
    deps; build
    ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
    build_windows
    ;;
  windows)
    deps; build_windows
    ;;
  bench)
    deps; build
    "$BUILD/bench/pk_bench" "${@:2}"
    ;;
  *)
    echo "usage: $0 {example|test|bench|windows|build|deps}" >&2
    exit 2
    ;;
esac
