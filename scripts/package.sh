#!/usr/bin/env bash
# Builds the Debian package: a Release build without tests and benchmarks,
# then `cpack -G DEB` in it. Prints the package's path on the last line.
#
#   scripts/package.sh [BUILD_DIR]      (default: build-package/)
#
# Install it with: sudo apt-get install ./plovex_VERSION_ARCH.deb
# (scripts/install-package-check.sh does that, checks it and removes it again.)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$(realpath -m "${1:-$root/build-package}")"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPLOVEX_BUILD_BENCH=OFF
log="$(cd "$dir" && cpack -G DEB)" || { echo "$log" >&2; exit 1; }
package="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log")"
[ -f "$package" ] || { echo "$log" >&2; echo "package.sh: cpack named no package" >&2; exit 1; }
echo "$package"
