#!/usr/bin/env bash
# Builds the Debian package from a build folder with CPack (into a temporary
# folder) and checks it with dpkg-deb:
#   - its control fields: name, the project's version, this machine's
#     architecture, a maintainer, section and priority, a description, and
#     dependencies computed from the binaries (versioned, Qt and the C++
#     runtime among them, and zlib for the logger's compression);
#   - its contents: exactly the files `cmake --install --prefix /usr` puts in
#     place, owned by root, programs 0755 and stripped, the rest 0644;
#     checksums for every file; no maintainer scripts and no conffiles, so
#     that installing it enables nothing;
#   - the programs in it run and tell the version.
#
#   tests/packaging/check-package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "check-package: $tool is missing; scripts/setup.sh installs it" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "check-package: cpack failed" >&2
  exit 1
fi
arch="$(dpkg --print-architecture)"
deb="$tmp/out/plovex_${version}_${arch}.deb"
[ -f "$deb" ] || { echo "check-package: no $(basename "$deb"); cpack made: $(ls "$tmp/out")" >&2; exit 1; }

# --- control fields -----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = plovex ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not $arch"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)' is not 'Name <address>'"
[ -n "$(field Section)" ] || fail "no Section"
[ "$(field Priority)" = optional ] || fail "Priority is '$(field Priority)'"
[ -n "$(field Description)" ] || fail "no Description"
depends="$(field Depends)"
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libcurl4 libmosquitto1 zlib1g; do
  [[ ", $depends" == *", $library (>= "* ]] ||
    fail "Depends lacks a versioned $library, as dpkg-shlibdeps gives: $depends"
done

# --- contents -----------------------------------------------------------------
DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >/dev/null
expected="$(cd "$tmp/root" && find . -not -type d | sort)"
listing="$(dpkg-deb -c "$deb")"
packaged="$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sort)"
if [ "$packaged" != "$expected" ]; then
  fail "the package's files differ from the install tree's (< install, > package):"
  diff <(echo "$expected") <(echo "$packaged") >&2 || true
fi
while read -r mode owner _ _ _ path; do
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
  case "$mode:$path" in
  d*) [ "$mode" = drwxr-xr-x ] || fail "folder $path has mode $mode" ;;
  *:./usr/bin/*) [ "$mode" = -rwxr-xr-x ] || fail "$path has mode $mode" ;;
  *) [ "$mode" = -rw-r--r-- ] || fail "$path has mode $mode" ;;
  esac
done <<<"$listing"

dpkg-deb -e "$deb" "$tmp/control"
control_files="$(cd "$tmp/control" && ls | sort | tr '\n' ' ')"
[ "$control_files" = "control md5sums " ] ||
  fail "the control part holds '$control_files': maintainer scripts or conffiles would act on installation"
summed="$(awk '{ print "./" $2 }' "$tmp/control/md5sums" | sort)"
[ "$summed" = "$expected" ] || fail "md5sums does not cover exactly the packaged files"

dpkg-deb -x "$deb" "$tmp/unpacked"
(cd "$tmp/unpacked" && md5sum --quiet -c "$tmp/control/md5sums") || fail "a packaged file does not match its checksum"
for program in plovex plovex-cli; do
  binary="$tmp/unpacked/usr/bin/$program"
  description="$(file -b "$binary")"
  [[ "$description" == ELF*", stripped" ]] || fail "$program is not a stripped program: $description"
  [ "$("$binary" --version)" = "$program $version" ] || fail "the packaged $program does not tell version $version"
done

if [ "$failures" -gt 0 ]; then
  echo "check-package: $failures failures" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") is complete and consistent; Depends: $depends"
