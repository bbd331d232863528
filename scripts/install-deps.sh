#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kel-Morph needs.
# Idempotent: packages already present are not touched, and apt is only called when
# something is missing. Run as root (or with sudo available) on Debian 12.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk
  xvfb xauth
  python3 python3-ezdxf python3-numpy
  view3dscene
)
# Optional extras: the fuzzing build needs clang and libFuzzer.
if [[ "${KELMORPH_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=(clang libfuzzer-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
