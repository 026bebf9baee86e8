#!/usr/bin/env bash
# Installs what is missing, builds what it runs, and runs ambrel as the launcher does ("ambrel shell").
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh --target run-programs
export PATH="$PWD/build/bin:$PATH"
exec ./scripts/run-client.sh "$@"
