# Installs the Debian packages the build and the tests need, when any is missing.
# Sourced by the other scripts.
vistelmo_deps() {
  local pkgs="cmake g++ make pkg-config libgtest-dev libgmock-dev libjpeg62-turbo-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev $*"
  local missing=""
  for p in $pkgs; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
  fi
}
