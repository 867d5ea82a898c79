#!/usr/bin/env bash
# Builds Hideaway100K, its command line and its benchmark (all that `cmake --install build` needs),
# then starts it on the simulated phone that the build puts beside it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target hideaway100k hideaway100k-cli GBP hideaway_bench -j"$(nproc)"
exec "$root/build/bin/hideaway100k"
