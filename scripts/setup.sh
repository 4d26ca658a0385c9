# Shared set-up: installs the build tools and the ISO readers the tests use
# as oracles, when they are missing. Sourced by the scripts in this folder.
ensure_packages() {
  local need=()
  command -v cmake >/dev/null || need+=(cmake)
  command -v g++ >/dev/null || need+=(g++)
  command -v pkg-config >/dev/null || need+=(pkg-config)
  command -v help2man >/dev/null || need+=(help2man)  # the manual page, from the commands' help
  command -v python3 >/dev/null || need+=(python3)
  [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
  command -v xorriso >/dev/null || need+=(xorriso)
  command -v genisoimage >/dev/null || need+=(genisoimage)
  command -v isoinfo >/dev/null || need+=(genisoimage)
  command -v iso-info >/dev/null || need+=(libcdio-utils)
  command -v 7zz >/dev/null || need+=(7zip)
  command -v bsdtar >/dev/null || need+=(libarchive-tools)
  /usr/bin/python3 -c 'import pycdlib' 2>/dev/null || need+=(python3-pycdlib)
  # Fuzzing: clang and its libFuzzer runtime.
  command -v clang++ >/dev/null || need+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
  # The kernel stage: QEMU, a static busybox for the VM's init, cpio for its
  # initramfs (the kernel itself is fetched by scripts/kernel_stage). Their
  # recommends are left out: QEMU's would bring a desktop's worth.
  local lean=()
  command -v qemu-system-x86_64 >/dev/null || lean+=(qemu-system-x86)
  dpkg-query -W -f='${Status}' busybox-static 2>/dev/null | grep -q 'ok installed' || lean+=(busybox-static)
  command -v cpio >/dev/null || lean+=(cpio)
  # The Windows build: mingw-w64 cross compilers (their -posix variants),
  # GoogleTest's sources to build for Windows, and 64-bit Wine only: with
  # wine32 present the wine wrapper prefers the 32-bit loader, which these
  # machines cannot run.
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || lean+=(g++-mingw-w64-x86-64)
  command -v i686-w64-mingw32-g++-posix >/dev/null || lean+=(g++-mingw-w64-i686)
  [ -x /usr/lib/wine/wine64 ] || lean+=(wine wine64)
  [ -f /usr/src/googletest/googletest/src/gtest-all.cc ] || need+=(googletest)
  if [ ${#need[@]} -gt 0 ] || [ ${#lean[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    [ ${#need[@]} -eq 0 ] || $sudo apt-get install -y -qq "${need[@]}" >/dev/null
    [ ${#lean[@]} -eq 0 ] || $sudo apt-get install -y -qq --no-install-recommends "${lean[@]}" >/dev/null
  fi
}
