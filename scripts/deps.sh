# The Debian packages the project needs, one list per purpose, and their installation.
# Sourced by run.sh and test.sh; set VORLANE_SKIP_DEPS=1 to skip.

# Building the three programs and the package's generated files (icons from qrgen, man pages).
VORLANE_DEPS_BUILD=(
  build-essential cmake ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libicu-dev libgnutls28-dev libmicrohttpd-dev libcurl4-openssl-dev libfontconfig-dev
  libcli11-dev libcsv-dev libpng-dev scdoc
)
# Running them as run.sh does: the window's fonts and Qt's Chinese translation, the certificate for the stand-in.
VORLANE_DEPS_RUN=(
  fonts-wqy-microhei qt6-translations-l10n openssl
)
# Tests, sanitizer and fuzz runs, benchmarks: oracles, peers, the virtual display and its input.
VORLANE_DEPS_TEST=(
  clang clang-format libclang-rt-14-dev valgrind
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  libqrencode-dev libqrcodegencpp-dev libzint-dev
  zbar-tools zxing-cpp-tools libzxing-core-java default-jdk-headless
  xvfb xauth xdotool libxdamage-dev libxi-dev qrencode zint ghostscript librsvg2-bin wrk hyperfine python3
  python3-segno nodejs
)
# Building and checking the Debian package.
VORLANE_DEPS_PACKAGE=(
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
)

# usage: vorlane_install_deps PURPOSE...   (build, run, test, package)
vorlane_install_deps() {
  [ "${VORLANE_SKIP_DEPS:-0}" = 1 ] && return 0
  local packages=() purpose
  for purpose in "$@"; do
    case $purpose in
      build) packages+=("${VORLANE_DEPS_BUILD[@]}") ;;
      run) packages+=("${VORLANE_DEPS_RUN[@]}") ;;
      test) packages+=("${VORLANE_DEPS_TEST[@]}") ;;
      package) packages+=("${VORLANE_DEPS_PACKAGE[@]}") ;;
      *) echo "vorlane_install_deps: unknown purpose '$purpose'" >&2; return 2 ;;
    esac
  done
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Parallel jobs and the compiler cache for the cmake calls of run.sh and test.sh.
vorlane_build_settings() {
  jobs=$(nproc 2>/dev/null || echo 2)
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
}
