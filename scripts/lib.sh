# Shared by the scripts: where things are, and how to get what they need.
# shellcheck shell=bash
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_LINUX="$ROOT/build/linux"
BUILD_WIN32="$ROOT/build/win32"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"

# Debian packages the build, the tests and the screenshots need.
NEEDED_PACKAGES=(cmake g++ make googletest libbenchmark-dev clang-format
                 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
                 imagemagick fonts-wqy-microhei x11-utils)

# Installs whatever of NEEDED_PACKAGES is missing (as root, after apt-get update).
ensure_packages() {
    local missing=()
    for p in "${NEEDED_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

configure_linux() {
    cmake -S "$ROOT" -B "$BUILD_LINUX" -DCMAKE_BUILD_TYPE=Debug -DBRENVIK_SANITIZE=ON >/dev/null
}

configure_win32() {
    cmake -S "$ROOT" -B "$BUILD_WIN32" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" >/dev/null
}

# Starts an Xvfb for this script's lifetime unless a display is already set.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "Xvfb did not start" >&2
    return 1
}

stop_display() {
    if [ -n "${XVFB_PID:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
        kill "$XVFB_PID" 2>/dev/null || true
    fi
}
