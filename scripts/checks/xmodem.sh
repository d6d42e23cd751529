#!/bin/sh
# SPDX-License-Identifier: MIT
# The XMODEM programs (examples/xmodem_send.c, examples/xmodem_recv.c), armhf
# builds under qemu-arm, against an independent implementation (lrzsz's sx
# and rx), connected through a relay standing in for the serial line
# (tests/xmodem/transfer.py):
#   - sx -k (1 KiB blocks; once plain sx, 128-byte blocks) -> xmodem_recv: the file arrives byte for byte
#     (our receiver drops the 0x1A padding of the last block; the test files
#     do not end in 0x1A, which no XMODEM receiver could tell from padding);
#   - xmodem_send -> rx -c: rx keeps the padding, so its file must be the
#     original followed by exactly the 0x1A bytes our sender added (to 1024,
#     or to 128 for a last piece of at most 128 bytes, or with -b 128);
# for an empty file, one block, sizes that are no multiple of the block size,
# and 100 KiB; then once each way through a relay that flips one byte of the
# fourth block: the receiver must reject it by its CRC, the block is sent
# again, and the file still arrives intact.
set -eu
cd "$(dirname "$0")/../.."
LIBKRC_WITH_XMODEM=1 ./scripts/deps.sh

cmake --preset armhf >/dev/null
cmake --build --preset armhf -j "$(nproc)" --target xmodem_send xmodem_recv >/dev/null
bin=$PWD/build/armhf/examples/xmodem
qemu="qemu-arm -L /usr/arm-linux-gnueabihf"
work=build/xmodem-check
rm -rf "$work"
mkdir -p "$work"
cd "$work"
failed=0

# A file of n pseudo-random bytes whose last byte is not 0x1A.
make_file() { # name, size
    python3 -c "import random,sys; r=random.Random($2); b=bytearray(r.randbytes($2));
b[-1:] = b'U' if b and b[-1] == 0x1A else b[-1:]; sys.stdout.buffer.write(b)" >"$1"
}

# The file as our sender puts it on the line: padded with 0x1A to its last
# block's size.
padded() { # file, block size
    python3 -c "import sys; d=open('$1','rb').read(); b=$2; r=len(d)%b
pad=0 if r==0 else ((128 if r<=128 else b)-r); sys.stdout.buffer.write(d+b'\x1a'*pad)"
}

# Runs one transfer and compares the result; prints one line.
transfer() { # label, sender, receiver, received file, expected file, [corrupt offset], [log to grep, pattern]
    corrupt=${6:+--corrupt $6}
    # shellcheck disable=SC2086
    if seconds=$(python3 ../../tests/xmodem/transfer.py $corrupt --sender-log send.log --receiver-log recv.log \
                 "$2" "$3" 2>relay.log) && cmp -s "$4" "$5" &&
       { [ -z "${7:-}" ] || grep -q "$8" "$7"; }; then
        printf '%-28s %7s bytes  %6ss  ok\n' "$1" "$(stat -c %s "$5")" "$seconds"
        [ "$(stat -c %s "$5")" -lt 102400 ] || grep -h '^xmodem_[a-z]*: \(sent\|received\)' send.log recv.log |
            sed 's/^/    /'
    else
        printf '%-28s %7s bytes  FAILED\n' "$1" "$(stat -c %s "$5")"
        cat relay.log send.log recv.log
        failed=1
    fi
    rm -f "$4"
}

printf '%-28s %7s        %6s\n' transfer "compared" time
for size in 0 128 1024 3000 102400; do
    make_file "f$size" "$size"
    transfer "sx -k -> xmodem_recv" "sx -k f$size" "$qemu $bin/xmodem_recv got" got "f$size"
    padded "f$size" 1024 >"f$size.1024"
    transfer "xmodem_send -> rx" "$qemu $bin/xmodem_send f$size" "rx -c got" got "f$size.1024"
done
transfer "sx (128 B) -> xmodem_recv" "sx f3000" "$qemu $bin/xmodem_recv got" got f3000
padded f3000 128 >f3000.128
transfer "xmodem_send -b 128 -> rx" "$qemu $bin/xmodem_send -b 128 f3000" "rx -c got" got f3000.128
# Byte 3600 of the sender's stream lies in the data of the fourth 1 KiB block.
transfer "sx -k -> corrupt -> recv" "sx -k f102400" "$qemu $bin/xmodem_recv got" got f102400 3600 \
         recv.log "block 4: rejected by its header or CRC"
transfer "send -> corrupt -> rx" "$qemu $bin/xmodem_send f102400" "rx -c got" got f102400.1024 3600 \
         send.log "block 4: NAK, sending again"
exit "$failed"
