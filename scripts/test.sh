#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test:
#  1. the release build (engine, command line, window, file list), then the
#     engine's include graph (scripts/check-includes.sh) and the layout of the
#     C++ files (scripts/check-format.sh);
#  2. the engine, the command line and the window under AddressSanitizer and UndefinedBehaviorSanitizer;
#     the engine and the command line under ThreadSanitizer;
#  3. the Windows build (engine, command line, window, file list) and its tests under Wine,
#     and the window once on Wine's Windows platform under Xvfb;
#  4. the Debian package, the Windows zip and installer, and what they install; the installer
#     under Wine: a silent install, the installed programs and window, the uninstaller.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/.."
"$here/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# ccache (installed by setup.sh) makes a second run on the same machine rebuild only what
# changed; CMake takes the launcher from these variables for every build folder below.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

# Each stage says how long it took when the next begins, and all of them at the end.
stage_name=""
stage_start=$SECONDS
stage_times=()
stage() {
    if [ -n "$stage_name" ]; then
        stage_times+=("$(printf '%5d s  %s' $((SECONDS - stage_start)) "$stage_name")")
        echo "== ($stage_name took $((SECONDS - stage_start)) s)"
    fi
    stage_name="$1"
    stage_start=$SECONDS
    [ -n "$stage_name" ] && echo "== $stage_name"
    return 0
}
trap 'stage ""; printf "%s\n" "== time per stage" "${stage_times[@]}"' EXIT

stage "release build and tests"
"$here/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release
ctest --test-dir "$root/build/release" --output-on-failure -j "$jobs"
"$here/check-includes.sh"
"$here/check-format.sh"

stage "engine, command line and window under ASan and UBSan"
"$here/build.sh" "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DPARTWRIGHT_SANITIZE=ON \
    -DPARTWRIGHT_GUI=ON -DPARTWRIGHT_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build/sanitize" --output-on-failure -j "$jobs"

stage "engine and command line under ThreadSanitizer"
"$here/build.sh" "$root/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DPARTWRIGHT_TSAN=ON -DPARTWRIGHT_GUI=OFF \
    -DPARTWRIGHT_BENCH=OFF
# ThreadSanitizer runs a signal handler late, when the thread next enters the C library, so a
# stop by signal reaches the run later than the fault test's exact outcomes assume: that test runs
# in the other builds.
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs" \
    -E 'CliFaultTest.afterAnyFaultEveryNameHoldsAWholePieceOrItsOlderFile'

if [ -x "$here/test-windows.sh" ]; then
    stage "Windows build under Wine"
    "$here/test-windows.sh"
fi

stage "packages and what they install"
"$here/package.sh"
"$root/packaging/tests/install_test.sh" "$root/build/package"
if [ -x "$here/test-windows.sh" ]; then
    stage "the Windows installer under Wine"
    "$root/packaging/tests/windows_install_test.sh" "$root/build/package" "$root/build/windows"
fi
