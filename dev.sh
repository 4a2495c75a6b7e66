#!/usr/bin/env bash
# One entry point for newcomers, CI and developers:
#   ./dev.sh check     the quick inner loop: native build and every native test
#   ./dev.sh example   install what is missing, build, run the example through xlhost
#   ./dev.sh test      install what is missing, build, run every test (the whole gate)
#   ./dev.sh bench     install what is missing, build, run every benchmark, print the speed table
#   ./dev.sh fuzz [S]  fuzz every target for S seconds (default 600)
#   ./dev.sh windows   cross-build the Windows add-ins into dist/
#   ./dev.sh dist      the download: dist/Ambrel-X.Y.Z-windows.zip, dist/Ambrel-X.Y.Z.oxt
#                      and the Python wheel
#   ./dev.sh generate  write what the function declarations make: the Excel
#                      entry points (excel/src/generated), README's function
#                      reference and the help pages in docs/ (also ./dev.sh docs)
#   ./dev.sh libreoffice          build the Calc extension into dist/libreoffice/Ambrel.oxt
#   ./dev.sh workbooks  rewrite the example workbooks in examples/ (.xlsx and .fods), through LibreOffice
#   ./dev.sh python-wheel         the Python package as a wheel in dist/
set -euo pipefail
cd "$(dirname "$0")"

BUILD=${BUILD:-build}
# The Python package (pybind11 and the headers to build it; setuptools, wheel
# and venv to install it offline), its tests (NumPy, pytest) and examples
# (matplotlib). Debian's /usr/bin/python3 throughout.
PYTHON_PACKAGES=(python3-dev pybind11-dev python3-numpy python3-pytest python3-setuptools python3-wheel
                 python3-pip python3-venv python3-matplotlib)
# The native build, its tests and the example.
NATIVE_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libffi-dev
                 nlohmann-json3-dev gnuplot-nox "${PYTHON_PACKAGES[@]}")
# The rest of the gate: the Windows cross builds and Wine, the 32-bit Linux
# build that checks the 32-bit Windows arithmetic (i386 libffi), sanitizers,
# LibreOffice for the Calc extension and its checks, the help files' compiler
# (chmcmd) and the independent reader that checks them (chmlib).
CROSS_PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 g++-multilib libffi-dev:i386
                clang libclang-rt-14-dev libreoffice-dev libreoffice-calc-nogui python3-uno
                fp-utils libchm-bin python3-xlsxwriter python3-openpyxl)

install_missing() {
  local missing=() sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for p in "$@"; do
    # dpkg -s refuses a name installed for two architectures (libffi-dev here).
    dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync can fail one index while every package stays
  # installable: go on, and let the install say whether anything is missing.
  $sudo apt-get update || echo "apt-get update failed; installing from the indexes at hand" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

native_deps() { install_missing "${NATIVE_PACKAGES[@]}"; }
deps() { install_missing "${NATIVE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"; }

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

# What the declarations make that is checked in: the Excel entry points (the
# Windows cross builds compile them as they are) and README's function
# reference. The generators need only the declarations, not the entry points.
generate() {
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" --target excel_generate sheet_reference help_html
  "$BUILD/bin/excel_generate" excel/src/generated
  {
    awk '/<!-- functions:begin -->/ {print; exit} {print}' README.md
    "$BUILD/bin/sheet_reference"
    awk 'on {print} /<!-- functions:end -->/ {on=1; print}' README.md
  } > README.md.new
  mv README.md.new README.md
  # The help pages as plain HTML, for readers without Windows.
  rm -rf docs
  cp -r "$BUILD/help/html" docs
}

# The Python package as a wheel for Debian 12's Python (built offline from
# the source tree, as README's pip install does), into dist/.
python_wheel() {
  mkdir -p dist
  rm -f dist/ambrel-*.whl  # an earlier version's
  CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} /usr/bin/python3 -m pip wheel --no-build-isolation \
    --no-deps --no-index --wheel-dir dist ./python
}

# The download, from the builds above, named by the version in VERSION
# (cmake/dist.sh). The help files come from the CMake target help_chm, which
# writes $BUILD/help/Ambrel.chm and Corvel.chm; AMBREL_HELP_DIR=DIR takes them
# from DIR instead.
make_dist() {
  local help=${AMBREL_HELP_DIR:-$BUILD/help}
  if [ -z "${AMBREL_HELP_DIR:-}" ]; then
    local targets
    targets=$(ninja -C "$BUILD" -t targets all)
    if ! grep -q '^help_chm:' <<< "$targets"; then
      echo "dist: no CMake target help_chm in this tree to make $help/Ambrel.chm and Corvel.chm" >&2
      return 1
    fi
    cmake --build "$BUILD" --target help_chm
  fi
  python_wheel
  cmake/dist.sh "$(head -1 VERSION)" "$BUILD-i686/bin" "$BUILD-x86_64/bin" "$help" "$BUILD/calc/Ambrel.oxt" dist
}

# xlhost and the add-ins for 32-bit Linux with the 32-bit Windows arithmetic
# flags: this machine runs no 32-bit Windows programs, so the tests compare
# this build's results with the 64-bit ones instead.
build_linux_i686() {
  cmake -S . -B "$BUILD-linux-i686" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake >/dev/null
  cmake --build "$BUILD-linux-i686" --target xlhost Ambrel Corvel
}

case "${1:-}" in
  deps) deps ;;
  build) native_deps; build ;;
  check)
    # No cross builds, Wine, sanitizers or fuzzing: those are ./dev.sh test.
    native_deps
    build
    ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" -E '^Windows\.'
    ;;
  example)
    native_deps; build
    examples/propofol_tci.sh "$BUILD/bin/xlhost"
    ;;
  test)
    deps
    build_windows
    build_linux_i686
    build -DAMBREL_WINDOWS_HOST_DIR="$PWD/$BUILD-x86_64/bin" -DAMBREL_DIST_DIR="$PWD/dist" \
      -DAMBREL_LINUX_I686_DIR="$PWD/$BUILD-linux-i686/bin" -DAMBREL_CALC=ON
    make_dist
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
  dist)
    deps
    build_windows
    build -DAMBREL_CALC=ON
    make_dist
    ;;
  generate|docs)
    native_deps; generate
    ;;
  libreoffice)
    deps; build -DAMBREL_CALC=ON
    mkdir -p dist/libreoffice
    cp "$BUILD/calc/Ambrel.oxt" dist/libreoffice/
    echo "dist/libreoffice/Ambrel.oxt"
    ;;
  workbooks|libreoffice-example)
    deps; build -DAMBREL_CALC=ON
    /usr/bin/python3 examples/workbooks.py "$BUILD/calc/Ambrel.oxt" examples
    ;;
  python-wheel)
    native_deps; python_wheel
    ;;
  bench)
    # Every benchmark once, then the speed table: ratios taken within
    # interleaved rounds (ROUNDS, default 11), medians and spread.
    native_deps; build
    "$BUILD/bin/pk_bench" "${@:2}"
    "$BUILD/bin/xl_bench" "${@:2}"
    bench/ratios.sh -n "${ROUNDS:-11}" "$BUILD/bin"
    PYTHONPATH="$BUILD/python" /usr/bin/python3 bench/python_bench.py --rounds "${ROUNDS:-11}"
    ;;
  *)
    echo "usage: $0 {check|example|test|bench|fuzz [SECONDS]|windows|libreoffice|workbooks|dist|python-wheel|generate|docs|build|deps}" >&2
    exit 2
    ;;
esac
