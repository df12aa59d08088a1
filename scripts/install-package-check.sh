#!/usr/bin/env bash
# Installs the Debian package on this machine with apt-get, checks the
# programs from /usr/bin and what else a user meets, then removes the package
# and checks that nothing of it is left. It changes the machine (as root or
# through sudo), so it is no part of scripts/test.sh.
#
#   scripts/install-package-check.sh [PACKAGE.deb]
#
# Without a package it builds one with scripts/package.sh. It refuses to run
# while a plovex package is installed already.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "install-package-check: needs root or sudo" >&2
  exit 1
fi

if [ $# -gt 0 ]; then
  package="$(realpath "$1")"
else
  package="$("$root/scripts/package.sh" | tail -n 1)"
fi
[ -f "$package" ] || { echo "install-package-check: no package $package" >&2; exit 1; }
if dpkg-query -W -f='${Status}' plovex 2>/dev/null | grep -q "ok installed"; then
  echo "install-package-check: plovex is installed already; remove it first (apt-get remove plovex)" >&2
  exit 1
fi
version="$(dpkg-deb -f "$package" Version)"

failures=0
check() { # description command...
  local what="$1"
  shift
  local out
  if out="$("$@" 2>&1)"; then
    echo "ok   $what${out:+: $(head -n 3 <<<"$out" | paste -sd '|')}"
  else
    echo "FAIL $what${out:+: $out}"
    failures=$((failures + 1))
  fi
}
absent() { [ ! -e "$1" ]; }
not_enabled() { ! find /etc/systemd/system /etc/udev/rules.d -name '*plovex*' 2>/dev/null | grep -q .; }
version_is() { [ "$("$1" --version)" = "$2" ] && echo "$2"; }

echo "== apt-get install $package"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package"
files="$(dpkg -L plovex)"

echo "== installed"
check "dpkg status" dpkg-query -W -f='${Package} ${Version} ${Status}\n' plovex
check "plovex on the PATH is /usr/bin/plovex" test "$(command -v plovex)" = /usr/bin/plovex
check "plovex --version" version_is /usr/bin/plovex "plovex $version"
check "plovex-cli --version" version_is /usr/bin/plovex-cli "plovex-cli $version"
check "plovex-cli ports" /usr/bin/plovex-cli ports
check "plovex --help" /usr/bin/plovex --help
check "plovex-cli monitor --simulate --count 2" /usr/bin/plovex-cli monitor --simulate --count 2
check "libraries resolved (ldd)" sh -c '! ldd /usr/bin/plovex /usr/bin/plovex-cli | grep "not found"'
check "manual pages" test -f /usr/share/man/man1/plovex.1.gz -a -f /usr/share/man/man1/plovex-cli.1.gz
check "desktop entry" desktop-file-validate /usr/share/applications/org.plovex.Plovex.desktop
check "man finds both pages" man -w plovex plovex-cli
check "bash completion registers" bash -c 'source /usr/share/bash-completion/completions/plovex-cli && complete -p plovex-cli'
check "systemd unit installed" test -f /usr/lib/systemd/system/plovex-monitor@.service
check "nothing enabled (no unit link, no udev rule)" not_enabled

echo "== apt-get remove plovex"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q plovex
echo "== removed"
check "dpkg status" sh -c '! dpkg-query -W -f="\${Status}" plovex 2>/dev/null | grep -q installed'
check "/usr/bin/plovex gone" absent /usr/bin/plovex
leftover=()
while read -r path; do
  [ -f "$path" ] && leftover+=("$path")
done <<<"$files"
check "no file of the package left" test ${#leftover[@]} -eq 0
[ ${#leftover[@]} -eq 0 ] || printf '  left: %s\n' "${leftover[@]}"

if [ "$failures" -gt 0 ]; then
  echo "install-package-check: $failures failures" >&2
  exit 1
fi
echo "install-package-check: plovex $version installed, ran from /usr/bin and was removed cleanly"
