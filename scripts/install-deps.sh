#!/usr/bin/env bash
# Installs the Debian packages the build and tests need; a no-op when all are present.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools qtbase5-private-dev libqt5opengl5-dev libqt5websockets5-dev
  qtwebengine5-dev libqt5webchannel5-dev qtdeclarative5-dev
  libjsoncpp-dev libprotobuf-dev libprotoc-dev protobuf-compiler
  zlib1g-dev libminizip-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev libbrotli-dev libxcb1-dev xvfb xauth unzip zip p7zip-full python3
  fonts-wqy-microhei iputils-ping
  # scripts/fuzz.sh: clang, its sanitizer and libFuzzer runtimes, and llvm-symbolizer
  clang libclang-rt-14-dev llvm-14
)

# One query for all of them; a package dpkg has never heard of is missing too (dpkg-query then
# exits non-zero, having listed the others).
declare -A installed=()
while read -r want ok state name; do
  [ "$want $ok $state" = "install ok installed" ] && installed[$name]=1
done < <(dpkg-query -W -f='${Status} ${Package}\n' "${PKGS[@]}" 2>/dev/null || true)
missing=()
for p in "${PKGS[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
