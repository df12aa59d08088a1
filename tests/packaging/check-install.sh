#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR under /usr and checks what a user
# and a desktop get:
#   - the tree holds exactly the files listed below, nothing enabled (no
#     udev rule in a rules folder, nothing under etc/), programs executable,
#     icons of the sizes their folders say;
#   - the desktop entry passes desktop-file-validate and names the installed
#     program and icon; the metainfo passes appstreamcli validate --strict and
#     carries the project's version;
#   - the manual pages carry the version, format without warnings, and each
#     documents what the programs' --help prints: every plovex-cli command in a
#     subsection of its own naming every option of that command's --help,
#     every plovex option, and every exit status the help texts name;
#   - the bash completion offers every command, every option of each command,
#     the choices an option lists, the port a running simulated board
#     publishes, and files where a command takes one;
#   - the systemd units run the installed plovex-cli (monitor, log) with
#     options it takes, with no account of their own but the dialout group,
#     and pass systemd-analyze verify; the logger's keeps its files in its
#     state directory.
#
#   tests/packaging/check-install.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build="$1"
version="$2"
id="$3" # the desktop entry's, the metainfo's and the icon's name

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for tool in desktop-file-validate appstreamcli groff file systemd-analyze gzip; do
  command -v "$tool" >/dev/null || { echo "check-install: $tool is missing; scripts/setup.sh installs it" >&2; exit 1; }
done

tmp="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
root="$tmp/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
cli="$root/usr/bin/plovex-cli"
gui="$root/usr/bin/plovex"

# --- the tree -----------------------------------------------------------------
expected="$(
  sort <<EOF
usr/bin/plovex
usr/bin/plovex-cli
usr/lib/systemd/system/plovex-log@.service
usr/lib/systemd/system/plovex-monitor@.service
usr/share/applications/$id.desktop
usr/share/bash-completion/completions/plovex-cli
usr/share/doc/plovex/README.md
usr/share/doc/plovex/copyright
usr/share/doc/plovex/examples/60-plovex.rules
usr/share/doc/plovex/examples/grafana-plovex-influxdb.json
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/22x22/apps/$id.png
usr/share/icons/hicolor/24x24/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/64x64/apps/$id.png
usr/share/icons/hicolor/128x128/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/512x512/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/plovex-cli.1.gz
usr/share/man/man1/plovex.1.gz
usr/share/metainfo/$id.metainfo.xml
EOF
)"
installed="$(cd "$root" && find . -not -type d | sed 's|^\./||' | sort)"
if [ "$installed" != "$expected" ]; then
  fail "the installed tree differs from the expected one (< expected, > installed):"
  diff <(echo "$expected") <(echo "$installed") >&2 || true
fi
for program in "$cli" "$gui"; do
  [ -x "$program" ] && file -b "$program" | grep -q '^ELF' || fail "$program is not an executable program"
done
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/$id.png; do
  size="$(basename "$(dirname "$(dirname "$icon")")")" # 48x48
  file -b "$icon" | grep -q "^PNG image data, ${size%x*} x ${size#*x}," ||
    fail "$icon is not a ${size} PNG: $(file -b "$icon")"
done
file -b "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" | grep -q '^SVG Scalable Vector Graphics image' ||
  fail "the scalable icon is not an SVG"

# --- desktop entry and metainfo -------------------------------------------------
desktop="$root/usr/share/applications/$id.desktop"
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
out="$(desktop-file-validate "$desktop" 2>&1)" && [ -z "$out" ] || fail "desktop-file-validate: $out"
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$root/usr/bin/$exec_program" ] || fail "the desktop entry runs '$exec_program', which is not installed in usr/bin"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$id" ] || fail "the desktop entry's Icon is not $id"
out="$(appstreamcli validate --no-net --strict "$metainfo" 2>&1)" || fail "appstreamcli validate: $out"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $id.desktop"

# --- versions -------------------------------------------------------------------
[ "$("$cli" --version)" = "plovex-cli $version" ] || fail "plovex-cli --version is not $version"
[ "$("$gui" --version)" = "plovex $version" ] || fail "plovex --version is not $version"

# --- manual pages against the programs' help ------------------------------------
# The command paths plovex-cli --help lists ("monitor", later "params save").
commands() {
  "$cli" --help | awk '
    /^Commands:/ { listing = 1; next }
    listing && /^  [a-z]/ {
      sub(/^  /, ""); sub(/  .*/, ""); path = ""
      for (i = 1; i <= NF && $i ~ /^[a-z][a-z0-9-]*$/; i++) path = path (path == "" ? "" : " ") $i
      print path; next }
    listing && !/^  / { listing = 0 }'
}
options_of() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
# The exit statuses an "Exit status: 0 done, 1 ..." paragraph names.
exit_codes_of() { sed -n '/^Exit status:/,/^$/p' | tr '\n' ' ' | grep -oE '(: |, )[0-9]+ ' | grep -oE '[0-9]+' || true; }
# A page's source with the dashes and font changes plain.
plain() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$1"; }
# The lines of a section (.SH) or subsection (.SS) titled exactly $2.
section() {
  awk -v want="$2" '
    /^\.S[HS] / { title = $0; sub(/^\.S[HS] +/, "", title); gsub(/"/, "", title); inside = (title == want); next }
    inside' "$1"
}
mentions() { grep -qE -- "(^|[^a-z0-9-])$2([^a-z0-9-]|\$)" <<<"$1"; }

check_page() { # page-name
  local gz="$root/usr/share/man/man1/$1.1.gz" page="$tmp/$1.1"
  gzip -dc "$gz" >"$page"
  local th
  th="$(grep '^\.TH ' "$page")"
  [[ "$th" == *"\"plovex $version\""* ]] || fail "$1(1) is not marked version $version: $th"
  local warnings
  warnings="$(groff -man -Tutf8 -ww -z "$page" 2>&1)"
  [ -z "$warnings" ] || fail "$1(1) formats with warnings: $warnings"
  plain "$page" >"$page.plain"
  grep -q dialout "$page.plain" || fail "$1(1) does not say how to get the dialout group"
}
check_page plovex-cli
check_page plovex

cli_page="$tmp/plovex-cli.1.plain"
mapfile -t cli_commands < <(commands)
[ ${#cli_commands[@]} -gt 0 ] || fail "plovex-cli --help lists no commands"
codes="$("$cli" --help | exit_codes_of)"
for option in $("$cli" --help | options_of); do
  mentions "$(cat "$cli_page")" "$option" || fail "plovex-cli(1) does not mention $option"
done
for command in "${cli_commands[@]}"; do
  read -r -a words <<<"$command"
  help="$("$cli" "${words[@]}" --help)" || fail "plovex-cli $command --help failed"
  body="$(section "$cli_page" "$command")"
  if [ -z "$body" ]; then
    fail "plovex-cli(1) has no subsection '$command'"
    continue
  fi
  for option in $(options_of <<<"$help"); do
    [ "$option" = --help ] && continue
    mentions "$body" "$option" || fail "plovex-cli(1), subsection '$command', does not mention $option"
  done
  codes+=" $(exit_codes_of <<<"$help")"
done
statuses="$(section "$cli_page" "EXIT STATUS")"
for code in $(tr ' ' '\n' <<<"$codes" | sort -un); do
  grep -qx "\.B $code" <<<"$statuses" || fail "plovex-cli(1) does not explain exit status $code"
done

gui_page="$tmp/plovex.1.plain"
gui_options="$(section "$gui_page" OPTIONS)"
for option in $("$gui" --help | options_of); do
  mentions "$gui_options" "$option" || fail "plovex(1) does not document $option under OPTIONS"
done
statuses="$(section "$gui_page" "EXIT STATUS")"
gui_codes="$("$gui" --help | exit_codes_of)"
[ -n "$gui_codes" ] || fail "plovex --help names no exit status"
for code in $gui_codes; do
  grep -qx "\.B $code" <<<"$statuses" || fail "plovex(1) does not explain exit status $code"
done

# --- bash completion ------------------------------------------------------------
export XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# shellcheck source=/dev/null
source "$root/usr/share/bash-completion/completions/plovex-cli"
complete -p plovex-cli >/dev/null || fail "the completion does not register itself for plovex-cli"
# The words plovex-cli would be offered after the given ones (the last one is
# being typed), as an interactive shell runs the completion: without this
# script's -e, -u and pipefail.
offered() {
  set +euo pipefail
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _plovex_cli "$cli" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}"
}
offers() { # expected-word words...
  local want="$1"
  shift
  local got
  got="$(offered "$@")"
  grep -qxF -- "$want" <<<"$got" || fail "completing 'plovex-cli $*' does not offer $want"
}
for command in "${cli_commands[@]}"; do
  read -r -a words <<<"$command"
  offers "${words[0]}" ""
  for ((i = 1; i < ${#words[@]}; i++)); do
    offers "${words[i]}" "${words[@]:0:i}" ""
  done
  help="$("$cli" "${words[@]}" --help)"
  for option in $(options_of <<<"$help"); do
    offers "$option" "${words[@]}" --
  done
  # An option listed with its choices (--format text|csv|jsonl) offers them.
  while read -r option choices; do
    for choice in ${choices//|/ }; do
      offers "$choice" "${words[@]}" "$option" ""
      offers "$choice" "${words[@]}" "$option" = ""
    done
  done < <(grep -oE -- '--[a-z][a-z0-9-]* [a-z0-9]+(\|[a-z0-9]+)+' <<<"$help" | sort -u)
done
offers --version -

"$cli" simulate >"$tmp/simulated" 2>/dev/null &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$tmp/simulated" ] && break
  sleep 0.1
done
simulated="$(head -n 1 "$tmp/simulated")"
if [ -z "$simulated" ]; then
  fail "plovex-cli simulate printed no port"
else
  offers "$simulated" monitor --port ""
  offers "$simulated" read-param --port = ""
fi
touch "$tmp/firmware.bin"
offers "$tmp/firmware.bin" upload "$tmp/firm"

# --- systemd units --------------------------------------------------------------
mkdir "$tmp/units"
for command in monitor log; do
  unit="$root/usr/lib/systemd/system/plovex-$command@.service"
  exec_start="$(sed -n 's/^ExecStart=//p' "$unit")"
  exec_start="${exec_start//%I/ttyUSB0}"
  read -r -a exec_words <<<"${exec_start//'${STATE_DIRECTORY}'/\/var\/lib\/plovex\/log\/ttyUSB0}"
  [ "${exec_words[0]}" = plovex-cli ] && [ "${exec_words[1]}" = "$command" ] ||
    fail "plovex-$command@.service does not run plovex-cli $command: $exec_start"
  "$root/usr/bin/${exec_words[0]}" "${exec_words[@]:1}" --help >/dev/null 2>&1 ||
    fail "plovex-cli refuses the arguments of plovex-$command@.service: $exec_start"
  for setting in DynamicUser=yes SupplementaryGroups=dialout; do
    grep -qx "$setting" "$unit" || fail "plovex-$command@.service lacks $setting"
  done
  # An instance as systemd-escape makes it from a /dev/serial/by-id/ path, too.
  for instance in ttyUSB0 'serial-by\x2did-usb\x2dFTDI_A1-if00-port0'; do
    sed "s|^ExecStart=plovex-cli|ExecStart=$cli|" "$unit" >"$tmp/units/plovex-$command@$instance.service"
    out="$(systemd-analyze verify --man=no "$tmp/units/plovex-$command@$instance.service" 2>&1)" && [ -z "$out" ] ||
      fail "systemd-analyze verify plovex-$command@$instance.service: $out"
  done
done
log_unit="$root/usr/lib/systemd/system/plovex-log@.service"
grep -qx 'StateDirectory=plovex/log/%i' "$log_unit" || fail "plovex-log@.service does not keep its files under plovex/log/%i"
grep -q -- '--dir ${STATE_DIRECTORY}' "$log_unit" || fail "plovex-log@.service does not write to its state directory"

if [ "$failures" -gt 0 ]; then
  echo "check-install: $failures failures" >&2
  exit 1
fi
echo "check-install: the install tree of $version is complete and consistent"
