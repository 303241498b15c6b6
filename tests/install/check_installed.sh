#!/usr/bin/env bash
# The tool installed as a Linux tool is: into a temporary prefix with cmake --install,
# or as the Debian package that cpack makes, installed with dpkg -i (through apt-get)
# and removed with apt-get (as root: that changes the machine's /usr for the while). Either way the tool
# runs and gives its version, its man page renders without a warning, bash completes its
# commands, options and songs, and the licence lies beside it.
#
#   check_installed.sh prefix BUILD_DIR     cmake --install BUILD_DIR into a temporary prefix
#   check_installed.sh deb BUILD_DIR        cpack -G DEB in BUILD_DIR, installed, used, removed
set -euo pipefail

[ $# -eq 2 ] && [[ $1 == prefix || $1 == deb ]] || { echo "usage: $0 prefix|deb BUILD_DIR" >&2; exit 2; }
way=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
installed=false  # the package is in /usr, and a failure removes it again
remove_package() { apt-get remove -y -qq -o DPkg::Lock::Timeout=900 vantor >/dev/null; }
trap 'rm -rf "$work"; ! $installed || remove_package' EXIT

fail() { echo "install ($way): FAILED: $*" >&2; exit 1; }

# Without man-db there is no man to read the page with; CI installs it.
if ! command -v man >/dev/null; then
  [ "${CI:-}" != true ] || fail "man is missing (./scripts/setup --test installs man-db)"
  echo "install ($way): SKIPPED: man is missing (./scripts/setup --test installs man-db)" >&2
  exit 77
fi

# check_tool PREFIX MAN...: the installed files under PREFIX work; MAN is how man finds
# the page (a file with -l, or the name where the page lies in man's own path).
check_tool() {
  local prefix=$1
  shift
  local tool=$prefix/bin/vantor
  [ "$("$tool" --version)" = "vantor $version" ] || fail "$tool --version does not give vantor $version"
  "$tool" render --demo -o "$work/demo.wav" --seconds 1 || fail "$tool does not render the demo song"

  # Rendered at 80 columns, the page has no warning and holds every command in full.
  MANWIDTH=80 man --warnings "$@" >"$work/man.txt" 2>"$work/man.errors" ||
    fail "man $* does not render: $(cat "$work/man.errors")"
  [ ! -s "$work/man.errors" ] || fail "man $* warns: $(cat "$work/man.errors")"
  local section
  for section in NAME DESCRIPTION COMMANDS 'check --list-rules' 'Exit codes' 'vantor export --demo -o demo.xm'; do
    grep -qF -- "$section" "$work/man.txt" || fail "the man page lacks '$section'"
  done

  # bash completes the command, an option of it, and a song (an .xm file or a directory).
  local completion=$prefix/share/bash-completion/completions/vantor
  mkdir -p "$work/songs/music"
  touch "$work/songs/title.xm" "$work/songs/notes.txt"
  complete_line() {
    (cd "$work/songs" && PATH="$prefix/bin:$PATH" bash -c 'source "$0"; COMP_WORDS=("${@}"); COMP_CWORD=$(($# - 1))
      _vantor 2>/dev/null; printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' "$completion" "$@")
  }
  [ "$(complete_line vantor re)" = render ] || fail "vantor re completes to '$(complete_line vantor re)', not render"
  [ "$(complete_line vantor render --se)" = --seconds ] || fail "vantor render --se does not complete to --seconds"
  [ "$(complete_line vantor info '')" = "music title.xm" ] ||
    fail "a song completes to '$(complete_line vantor info '')', not music and title.xm"

  cmp -s "$prefix/share/doc/vantor/LICENSE" "$source_dir/LICENSE" || fail "the licence is not in share/doc/vantor"
}

if [ "$way" = prefix ]; then
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  check_tool "$work/prefix" -l "$work/prefix/share/man/man1/vantor.1"
  echo "install: cmake --install puts the tool, its man page, completion and licence in place" >&2
  exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "dpkg -i needs root"
if dpkg-query -W -f='${Status}' vantor 2>/dev/null | grep -q "install ok installed"; then
  fail "a vantor package is installed already; this test installs and removes its own"
fi
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(find "$work" -maxdepth 1 -name "vantor_${version}_*.deb")
[ -n "$deb" ] || fail "cpack made no vantor_${version}_*.deb"
# apt-get hands the file to dpkg -i once the package lock is free.
installed=true
apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=900 "$deb" >/dev/null
check_tool /usr vantor
remove_package
installed=false
for file in /usr/bin/vantor /usr/share/man/man1/vantor.1 /usr/share/bash-completion/completions/vantor \
  /usr/share/doc/vantor/LICENSE; do
  [ ! -e "$file" ] || fail "apt-get remove left $file"
done
echo "install: $(basename "$deb") installs with dpkg -i, works, and apt-get remove removes it" >&2
