# Shared set-up: installs the build tools and the ISO readers the tests use
# as oracles, when they are missing. Sourced by the scripts in this folder.
ensure_packages() {
  local need=()
  command -v cmake >/dev/null || need+=(cmake)
  command -v g++ >/dev/null || need+=(g++)
  command -v pkg-config >/dev/null || need+=(pkg-config)
  command -v python3 >/dev/null || need+=(python3)
  [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
  command -v xorriso >/dev/null || need+=(xorriso)
  command -v genisoimage >/dev/null || need+=(genisoimage)
  command -v isoinfo >/dev/null || need+=(genisoimage)
  command -v iso-info >/dev/null || need+=(libcdio-utils)
  command -v 7zz >/dev/null || need+=(7zip)
  command -v bsdtar >/dev/null || need+=(libarchive-tools)
  /usr/bin/python3 -c 'import pycdlib' 2>/dev/null || need+=(python3-pycdlib)
  if [ ${#need[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "${need[@]}" >/dev/null
  fi
}
