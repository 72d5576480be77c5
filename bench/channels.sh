#!/usr/bin/env bash
# Idle CPU of the channels and their hand-over latencies, measured on the build in
# build/: 30 s with a serial pseudo-terminal open, a TCP client retrying an unreachable
# port, a TCP server listening and a file watched, then 100 serial and 100 TCP trials.
# Targets: idle CPU under 0.5 % of one core; serial 100 ms framing plus at most 5 ms;
# TCP between 100 and 200 ms; a 100 MB TCP flood arrives whole and in order with a
# peak resident size under 100 MiB. Extra arguments go to the program (--idle-seconds N,
# --trials N).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup
cmake -S . -B build -G Ninja -DKEST_WERROR=ON >/dev/null
cmake --build build --target bench_channels -j "$(nproc)"
exec build/bench/bench_channels "$@"
