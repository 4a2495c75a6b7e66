#!/usr/bin/env bash
# One entry point for newcomers, CI and developers:
#   ./dev.sh example   install what is missing, build, run the example through xlhost
#   ./dev.sh test      install what is missing, build, run every test
#   ./dev.sh bench     install what is missing, build, run the benchmarks
#   ./dev.sh fuzz [S]  fuzz every target for S seconds (default 600)
#   ./dev.sh windows   cross-build the Windows add-ins into dist/
#   ./dev.sh docs      regenerate the README's function reference
#   ./dev.sh libreoffice          build the Calc extension into dist/libreoffice/Ambrel.oxt
#   ./dev.sh libreoffice-example  rewrite examples/propofol_tci.fods with LibreOffice itself
set -euo pipefail
cd "$(dirname "$0")"

BUILD=${BUILD:-build}
PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libffi-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 clang libclang-rt-14-dev
          libreoffice-dev libreoffice-calc-nogui python3-uno)

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

# Everything again under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the threaded scratch-memory tests under ThreadSanitizer (clang).
sanitized_tests() {
  cmake -S . -B "$BUILD-asan" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAMBREL_BUILD_BENCH=OFF -DAMBREL_SANITIZE=address,undefined >/dev/null
  cmake --build "$BUILD-asan"
  ctest --test-dir "$BUILD-asan" --output-on-failure -j"$(nproc)"
  cmake -S . -B "$BUILD-tsan" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAMBREL_BUILD_BENCH=OFF -DAMBREL_SANITIZE=thread >/dev/null
  cmake --build "$BUILD-tsan" --target xlw_tests
  ctest --test-dir "$BUILD-tsan" --output-on-failure -R '^TempMemory\.'
}

# libFuzzer on the add-ins' exports (both layouts), the formula parser and the
# counted strings, each for the given seconds, from the corpus in the tree.
fuzz() {
  local seconds=${1:-15}
  cmake -S . -B "$BUILD-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAMBREL_BUILD_BENCH=OFF -DAMBREL_BUILD_TESTS=OFF -DAMBREL_SANITIZE=address,undefined -DAMBREL_FUZZ=ON >/dev/null
  cmake --build "$BUILD-fuzz" --target fuzz_addins fuzz_formula fuzz_strings
  local runs=("fuzz_addins 16" "fuzz_addins 11" "fuzz_formula 16" "fuzz_strings 16")
  for run in "${runs[@]}"; do
    set -- $run
    local corpus="$BUILD-fuzz/corpus/$1-$2"
    mkdir -p "$corpus"
    echo "fuzzing $1 (Excel $2) for $seconds s"
    local log="$BUILD-fuzz/$1-$2.log"
    if ! FUZZ_EXCEL_VERSION=$2 "$BUILD-fuzz/bin/$1" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$BUILD-fuzz/" "$corpus" "tests/fuzz/corpus/${1#fuzz_}" >"$log" 2>&1; then
      grep -E -A30 'ERROR|deadly' "$log" | head -60
      echo "$1 (Excel $2) found a fault; the input is in $BUILD-fuzz/"
      return 1
    fi
    grep -E 'number_of_executed_units' "$log"
  done
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
    build -DAMBREL_WINDOWS_HOST_DIR="$PWD/$BUILD-x86_64/bin" -DAMBREL_DIST_DIR="$PWD/dist" -DAMBREL_CALC=ON
    ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
    sanitized_tests
    fuzz 15
    ;;
  fuzz)
    deps; fuzz "${2:-600}"
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
  libreoffice)
    deps; build -DAMBREL_CALC=ON
    mkdir -p dist/libreoffice
    cp "$BUILD/calc/Ambrel.oxt" dist/libreoffice/
    echo "dist/libreoffice/Ambrel.oxt"
    ;;
  libreoffice-example)
    deps; build -DAMBREL_CALC=ON
    /usr/bin/python3 calc/tools/write_example.py "$BUILD/calc/Ambrel.oxt" examples/propofol_tci.fods
    ;;
  bench)
    deps; build
    "$BUILD/bench/pk_bench" "${@:2}"
    ;;
  *)
    echo "usage: $0 {example|test|bench|fuzz [SECONDS]|windows|libreoffice|libreoffice-example|docs|build|deps}" >&2
    exit 2
    ;;
esac
