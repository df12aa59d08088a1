#!/usr/bin/env bash
# Installs the Debian packages plovex needs to build, test, package and run,
# if any are missing. The packaging checks use desktop-file-validate,
# appstreamcli, dpkg-deb and dpkg-shlibdeps, file, groff and systemd-analyze.
# The fleet tests start a mosquitto broker, an InfluxDB 1.x and a
# VictoriaMetrics of their own; the system services their packages install
# are disabled and stopped again. scripts/faults.sh reads ctest's listing
# with jq.
# Runs apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-svg-dev libgl1-mesa-dev fonts-dejavu-core
  clang libclang-rt-14-dev lld
  desktop-file-utils appstream dpkg-dev file groff-base systemd
  libmosquitto-dev mosquitto
  libcurl4-openssl-dev zlib1g-dev influxdb victoria-metrics
  jq
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "plovex setup: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi
echo "plovex setup: installing ${missing[*]}" >&2
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
# Nothing here serves MQTT or stores time series: the tests run their own
# broker and databases on free ports.
for service in mosquitto influxdb victoria-metrics; do
  if [[ " ${missing[*]} " == *" $service "* ]]; then
    "${sudo[@]}" systemctl disable --now "$service" >/dev/null 2>&1 ||
      "${sudo[@]}" systemctl disable "$service" >/dev/null 2>&1 || true
    "${sudo[@]}" service "$service" stop >/dev/null 2>&1 || true
  fi
done
