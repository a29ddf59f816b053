#!/usr/bin/env bash
# Sets up a Debian 12 machine for Tessarine, builds it in Release, and starts it or runs the tests.
#   ./dev.sh start   install what is missing, build, start the program (without a display: convert the
#                    sample picture with tessarine-convert and print it)
#   ./dev.sh test    install what is missing, build, run the whole test suite
#   ./dev.sh sanitize  the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer (clang),
#                    then every fuzz target briefly on its corpus
#   ./dev.sh package   the Debian package, from a copy of the checkout: build/package/tessarine_*.deb
#                    (DEB_BUILD_OPTIONS=nocheck leaves out the tests it runs while building)
#   ./dev.sh package-check  the package, lintian and hardening-check on it, then the package installed in
#                    a fresh minimal Debian 12 root and used there as an ordinary user
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build qt6-base-dev libjpeg62-turbo-dev zlib1g-dev libfontconfig-dev libgtest-dev libgmock-dev libbenchmark-dev
          libxcb1-dev fonts-liberation fonts-dejavu-core xvfb xauth xdotool python3-xlib clang-format
          # for the installed-tree test: the Debian package, the desktop files, manual pages, completion
          dpkg-dev file desktop-file-utils appstream mandoc man-db bash-completion x11-utils)
# To build the Debian package, and to check it as Debian would
PACKAGING=(debhelper dpkg-dev lintian devscripts)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build --parallel
}

# The Debian package, built from a copy of what git tracks (and what it would track), so that nothing of
# a build folder goes in; the .deb, .changes and .buildinfo land in build/package.
package() {
    local version stage
    version=$(sed -n 's/^project(Tessarine VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    stage=build/package/tessarine-$version
    rm -rf build/package
    mkdir -p "$stage"
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        xargs -0 cp -P --parents -t "$stage"
    (cd "$stage" && dpkg-buildpackage -b -us -uc)
    ls -l build/package/*.deb
}

case "${1:-start}" in
start)
    install_missing
    build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        ./build/tessarine-convert resources/sample.jpg --columns 100
        echo
        echo "No display here, so this was tessarine-convert on resources/sample.jpg (see --help)."
        echo "On a desktop, ./dev.sh start opens the Tessarine window (or: xvfb-run ./build/tessarine)."
        exit 0
    fi
    exec ./build/tessarine "${@:2}"
    ;;
test)
    install_missing
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --parallel 2
    ;;
sanitize)
    install_missing clang libclang-rt-14-dev
    CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTESSARINE_SANITIZE=ON -DTESSARINE_FUZZ=ON \
        -DTESSARINE_BUILD_BENCH=OFF >/dev/null
    cmake --build build-sanitize --parallel
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS=suppressions="$PWD/tests/fuzz/lsan.supp" \
        QT_QPA_PLATFORM=offscreen ctest --test-dir build-sanitize --output-on-failure --parallel 2
    tests/fuzz/run.sh "${FUZZ_SECONDS:-10}" build-sanitize
    ;;
package)
    install_missing "${PACKAGING[@]}"
    package
    ;;
package-check)
    install_missing "${PACKAGING[@]}" debootstrap
    package
    deb=$(ls build/package/tessarine_*.deb)
    echo "--- lintian"
    lintian --fail-on error,warning --info --display-info --pedantic build/package/tessarine_*.changes
    echo "--- hardening-check"
    dir=$(mktemp -d)
    dpkg-deb -x "$deb" "$dir"
    # Debian 12's C start files carry no IBT/SHSTK property, so no program linked there can show control-flow
    # protection, whatever it is compiled with.
    hardening-check --nocfprotection "$dir/usr/bin/tessarine" "$dir/usr/bin/tessarine-convert" \
        "$(find "$dir" -name tessarine-convert-qt.so)"
    rm -rf "$dir"
    echo "--- a clean system"
    tests/install/clean_system.sh "$deb"
    ;;
*)
    echo "usage: $0 start|test|sanitize|package|package-check" >&2
    exit 2
    ;;
esac
