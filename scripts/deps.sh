# Installs the Debian packages the project needs when any is missing.
# Sourced by run.sh and test.sh; set VORLANE_SKIP_DEPS=1 to skip.
vorlane_install_deps() {
  [ "${VORLANE_SKIP_DEPS:-0}" = 1 ] && return 0
  local packages=(
    build-essential cmake ccache pkg-config git clang libclang-rt-14-dev valgrind
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
    libicu-dev libssl-dev libcpp-httplib-dev openssl
    libgtest-dev libgmock-dev libbenchmark-dev
    libqrencode-dev libqrcodegencpp-dev
    zbar-tools zxing-cpp-tools libzxing-core-java default-jdk-headless
    fonts-wqy-microhei xvfb xauth xdotool
  )
  local missing=()
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
