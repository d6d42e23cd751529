#!/bin/sh
# The main job: builds liblibkrc.so for armhf and runs the example programs
# under qemu-arm.  Installs what it needs on first use.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh

cmake --preset armhf >/dev/null
cmake --build --preset armhf -j "$(nproc)"

sysroot=/usr/arm-linux-gnueabihf
arm-linux-gnueabihf-size build/armhf/liblibkrc.so
for example in build/armhf/examples/example_*; do
    echo "== ${example##*/} (qemu-arm)"
    qemu-arm -L "$sysroot" "$example"
done
