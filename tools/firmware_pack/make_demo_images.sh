#!/bin/sh
# Regenerates the demo firmware images in data/update/ and the update list data/Up.ibl from
# fixed content (a text banner and pseudo-random bytes of a fixed seed), so every run writes the
# same bytes. Usage: make_demo_images.sh [PATH_OF_zelvo_firmware_pack]
set -eu

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
PACK=${1:-"$ROOT/build/bin/zelvo_firmware_pack"}
DATA="$ROOT/data"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

if [ ! -x "$PACK" ]; then
    echo "zelvo_firmware_pack not found at $PACK (build it, or give its path)" >&2
    exit 1
fi

# plain_image NAME SIZE SEED: the banner, then bytes of a 32-bit linear congruential generator.
plain_image() {
    python3 - "$WORK/$1" "$2" "$3" <<'PY'
import sys
path, size, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
banner = ("ZELVO demo firmware image %s, %d bytes, seed %d\n" % (path.rsplit("/", 1)[-1], size, seed)).encode()
data = bytearray(banner)
state = seed
while len(data) < size:
    state = (state * 1103515245 + 12345) & 0xFFFFFFFF
    data.append((state >> 16) & 0xFF)
open(path, "wb").write(bytes(data[:size]))
PY
}

plain_image system_a7 98304 7
plain_image flash_a7 32768 11

mkdir -p "$DATA/update"
rm -f "$DATA/update/systemA7.img" "$DATA/update/flashA7.img"
SYSTEM=$("$PACK" --kernel A7 --img-name systemA7.img --down-name system.img \
    --ver-name OSVER: --ver V1.0.3-P:FS "$WORK/system_a7" "$DATA/update")
FLASH=$("$PACK" --kernel A7 --img-name flashA7.img --down-name fsFLASH \
    --ver-name fsFLASHVER: --ver V1.0.2-P:FS "$WORK/flash_a7" "$DATA/update")

cat > "$DATA/Up.ibl" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<UpdateInfo>
  <ZELVOType SerialNo="ZG">
    $SYSTEM
    $FLASH
  </ZELVOType>
</UpdateInfo>
XML
echo "wrote $DATA/Up.ibl and $DATA/update/"
