# Shared by the scripts (run, test, screenshots, bench): installs what is
# missing, then configures and builds. Sourced, not run.

VINTREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VINTREL_BUILD=${VINTREL_BUILD:-$VINTREL_ROOT/build}

say() { printf '%s\n' "$*" >&2; }

# On Windows itself (the bash of MSYS2 or of Git for Windows) everything is
# built and run natively: the compiler is MSYS2's MinGW-w64 on the PATH, or
# the one CMake's generator names (CMAKE_GENERATOR="Visual Studio 17 2022"
# for MSVC), GoogleTest a source tree named by GTEST_SOURCE_DIR or an
# installed one, and no test has Wine or a virtual display in front of it.
on_windows() {
  case "$(uname -s)" in
    MINGW* | MSYS* | CYGWIN*) return 0 ;;
    *) return 1 ;;
  esac
}

# The end-to-end tests left out on Windows itself, each for a reason of its
# own. Every one of them presses and clicks through xdotool, an X11 program
# that Wine runs beside the test and Windows has not (the real mouse and keys
# there need SendInput and a desktop that takes it):
# - Tray.* (all four) and Keyboard.* (all three) also find the icon as the
#   first button of Wine's "System Tray" window; Windows' notification area
#   (Shell_TrayWnd, its overflow, the icon's place asked with
#   Shell_NotifyIconGetRect) is another window of another process.
# - Files.KeepingTicked... ticks a check box and types into a field.
# - Monitoring.ServersThatClose... clicks nothing, but its bound on the
#   program's threads (one more than while answering) was set from Wine's
#   WinINet; Windows' WinINet keeps worker threads of its own and grows them
#   on its own schedule, and no run here has measured what it does.
# - Monitoring.StoppedWhile... clicks the icon, the window's buttons and
#   types the new address.
VINTREL_WINE_ONLY_TESTS='^(Tray|Keyboard)\.|^Files\.KeepingTicked|^Monitoring\.(ServersThatClose|StoppedWhile)'

# Debian packages the build, the tests and the run need.
VINTREL_PACKAGES=(
  cmake make python3
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  googletest
  wine wine64 fonts-wine
  xvfb xauth xdotool imagemagick x11-utils
)

install_missing() {
  if on_windows; then
    command -v cmake >/dev/null || { say "cmake is missing: install it (MSYS2: pacman -S mingw-w64-x86_64-cmake)"; return 1; }
    return 0
  fi
  local missing=()
  for p in "${VINTREL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures and builds; with target names, only those (and what they need).
build_vintrel() {
  local cross=(-DCMAKE_TOOLCHAIN_FILE="$VINTREL_ROOT/cmake/mingw-w64-x86_64.cmake")
  on_windows && cross=()
  cmake -S "$VINTREL_ROOT" -B "$VINTREL_BUILD" "${cross[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  # --config picks the build type where the generator makes several (MSVC's).
  cmake --build "$VINTREL_BUILD" --config Release -j "$(nproc 2>/dev/null || echo 2)" "${targets[@]}"
}

# Wine settings for everything the scripts start: a private prefix under the
# build tree, no debug chatter, no Mono or Gecko installer prompts.
wine_env() {
  export WINEPREFIX=${WINEPREFIX:-$VINTREL_BUILD/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEARCH=win64
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
}

# Creates the Wine prefix once; its first-run output must not reach the tests.
wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "Creating the Wine prefix in $WINEPREFIX (once, about 15 s)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  wine_fonts
}

# Debian's Wine never looks in /usr/share/wine/fonts, where the fonts-wine
# package puts Wine's own fonts, and draws every face with DejaVu Sans: its
# "MS Sans Serif" is a sixth wider than the real one and cuts captions. The
# prefix's Fonts folder is where Wine does look; links there bring back its
# "MS Sans Serif" (the real one's widths), Tahoma and the rest.
wine_fonts() {
  local from=/usr/share/wine/fonts to="$WINEPREFIX/drive_c/windows/Fonts"
  [ -d "$from" ] && [ -d "$to" ] || return 0
  local font
  for font in "$from"/*; do
    [ -e "$to/${font##*/}" ] || ln -s "$font" "$to/"
  done
}

# A program that crashes in a test ends at once, with its backtrace on
# stderr, instead of waiting behind Wine's "Program Error" box: the test then
# fails on its exit, and no debugger holds CTest's output pipe open.
wine_no_crash_dialog() {
  local marker="$WINEPREFIX/.vintrel-no-crash-dialog"
  [ -f "$marker" ] && return 0
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
    touch "$marker"
}

# The tests that check the window at 125, 150 and 200 % display scale run in
# prefixes of their own, whose system DPI is 120, 144 or 192: Wine takes it
# from the user's LogPixels. The user's prefix and the main test prefix are
# never touched. Each function takes the DPI, 144 when none is given.
VINTREL_HIDPI=144
hidpi_prefix_path() { printf '%s\n' "$VINTREL_BUILD/wineprefix-${1:-$VINTREL_HIDPI}dpi"; }

wine_prefix_hidpi() {
  (
    local dpi=${1:-$VINTREL_HIDPI}
    export WINEPREFIX
    WINEPREFIX=$(hidpi_prefix_path "$dpi")
    wine_prefix
    wine_no_crash_dialog
    local marker="$WINEPREFIX/.vintrel-logpixels-$dpi"
    if [ ! -f "$marker" ]; then
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 &&
        touch "$marker"
      # The setting is read when the prefix's server starts: let it end.
      wineserver -w
    fi
  )
}
