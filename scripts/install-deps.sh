#!/usr/bin/env bash
# Installs what the build and the tests need, if it is missing, and says what it does. Debian
# packages; needs root (or sudo).
#
#   Linux lanes (native, asan, tsan, fuzz): CMake, g++, Google Test, clang-format, Google Benchmark,
#     clang with its sanitizer and libFuzzer runtimes, Python 3 (the version-resource check).
#   win64: mingw-w64 for 32- and 64-bit Windows and Wine (64-bit).
#   win32: the same, and what runs 32-bit Windows programs on a kernel that cannot run 32-bit
#     code: Wine's 32-bit half (wine32:i386) on user-mode emulation (qemu-i386 10, taken from
#     bookworm-backports' qemu-user and registered with binfmt_misc). The order matters: the
#     emulator is registered before wine32 arrives, since Wine with an older emulator takes minutes
#     to start.
#   release: everything the win32 and win64 lanes need, and the Markdown renderer of
#     scripts/release.sh (python3-markdown).
#
# Usage: scripts/install-deps.sh [lane ...]   (default: every lane; "native" alone: the Linux build)
# Exit status: 0 when everything is in place; 2 when all packages are installed but 32-bit programs
# cannot run here (the win32 lane will fail; the reason is printed); 1 on any other failure.
set -euo pipefail

lanes=("$@")
[ ${#lanes[@]} -gt 0 ] || lanes=(native asan tsan fuzz win32 win64)
want_windows=false want_x86=false want_release=false
for lane in "${lanes[@]}"; do
  case "$lane" in
    release) want_windows=true want_x86=true want_release=true ;;
    win32) want_windows=true want_x86=true ;;
    win64) want_windows=true ;;
  esac
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
# Waits for another apt or dpkg run on the machine instead of failing on its lock.
apt_options=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)

# Installs the packages of the list that are missing; says which.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== dependencies: installing ${missing[*]}"
  $sudo apt-get "${apt_options[@]}" update -qq
  $sudo apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

packages=(cmake g++ make git clang-format libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev python3)
$want_release && packages+=(python3-markdown)
if $want_windows; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64)
fi
install_missing "${packages[@]}"
$want_x86 || { echo "== dependencies: all installed"; exit 0; }

# ---- 32-bit x86 programs through user-mode emulation ----------------------------------------------
qemu=/usr/local/libexec/ats/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
# The i386 ELF executable header (class 32-bit, little-endian, type EXEC or DYN, machine 386).
elf_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
elf_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

no_emulation() {
  echo "== x86 emulation: NOT set up: $*"
  echo "   32-bit Windows programs cannot run here, so the win32 lane will fail;"
  echo "   leave it out by naming the lanes: scripts/test.sh native asan tsan fuzz win64"
  exit 2
}

qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p'; }

# The machine's own Debian archive (the one serving bookworm), for the backports suite.
archive_uri() {
  local uri
  uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk '$2 == "bookworm" { print $1; exit }')
  echo "${uri:-http://deb.debian.org/debian/}"
}

if [ "$(qemu_major)" != 10 ]; then
  if ! apt-cache policy qemu-user 2>/dev/null | grep -q 'bookworm-backports'; then
    echo "== x86 emulation: adding the bookworm-backports suite (for qemu-user 10) from $(archive_uri)"
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
      "$(archive_uri)" /usr/share/keyrings/debian-archive-keyring.gpg |
      $sudo tee /etc/apt/sources.list.d/ats-bookworm-backports.sources >/dev/null ||
      no_emulation "cannot add the bookworm-backports suite (needs root)"
    $sudo apt-get "${apt_options[@]}" update -qq || no_emulation "apt-get update failed"
  fi
  echo "== x86 emulation: taking qemu-i386 out of bookworm-backports' qemu-user"
  download=$(mktemp -d) && chmod 755 "$download"
  trap 'rm -rf "$download"' EXIT
  (cd "$download" && apt-get "${apt_options[@]}" -o APT::Sandbox::User=root download -qq qemu-user/bookworm-backports >/dev/null) ||
    no_emulation "could not download qemu-user from bookworm-backports"
  dpkg-deb --fsys-tarfile "$download"/qemu-user_*.deb | tar -x -C "$download" ./usr/bin/qemu-i386 ||
    no_emulation "the qemu-user package holds no usr/bin/qemu-i386"
  $sudo install -D -m 755 "$download/usr/bin/qemu-i386" "$qemu" || no_emulation "cannot install $qemu (needs root)"
  [ "$(qemu_major)" = 10 ] || no_emulation "$qemu is not version 10: $("$qemu" --version 2>&1 | head -1)"
fi

if [ ! -e "$binfmt/register" ]; then
  echo "== x86 emulation: mounting binfmt_misc"
  $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || no_emulation "cannot mount binfmt_misc at $binfmt"
fi
if ! { grep -qx "interpreter $qemu" "$binfmt/qemu-i386" && grep -q '^flags: .*F' "$binfmt/qemu-i386" &&
  grep -qx enabled "$binfmt/qemu-i386"; } 2>/dev/null; then
  echo "== x86 emulation: registering $qemu for 32-bit x86 programs (binfmt_misc, flag F)"
  if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 | $sudo tee "$binfmt/qemu-i386" >/dev/null || no_emulation "cannot remove the older qemu-i386 entry"
  fi
  printf ':qemu-i386:M::%s:%s:%s:F' "$elf_magic" "$elf_mask" "$qemu" | $sudo tee "$binfmt/register" >/dev/null ||
    no_emulation "cannot register with binfmt_misc (needs root)"
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "== x86 emulation: adding the i386 architecture to dpkg"
  $sudo dpkg --add-architecture i386 || no_emulation "cannot add the i386 architecture (needs root)"
  $sudo apt-get "${apt_options[@]}" update -qq || no_emulation "apt-get update failed"
fi
install_missing wine32:i386 || no_emulation "cannot install wine32:i386"

# Wine's 32-bit loader, under the emulator, is the proof.
[ -x /usr/lib/wine/wine ] || no_emulation "wine32 installed no 32-bit loader at /usr/lib/wine/wine"
/usr/lib/wine/wine --version >/dev/null 2>&1 || no_emulation "the 32-bit Wine loader does not start under $qemu"
echo "== dependencies: all installed; 32-bit programs run through $("$qemu" --version | head -1)"
