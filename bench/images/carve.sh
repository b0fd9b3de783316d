#!/usr/bin/env bash
# The carving image: the files of bench/images/carve_files.sh laid one after the other into a
# raw image of SIZE MiB (256), with no file system, as a card after a quick format or a disk
# whose tables are gone. Files start alternately at 512-byte and 4096-byte boundaries; before
# each lies a gap of zeros, random bytes or text; one in five of the files over 16 KiB is cut
# into two or three fragments with random bytes between them. IMAGE.manifest has one line per
# file: offset of its first byte, extension, size, number of fragments, name.
# $1 is the image to write, $2 the folder of files.
set -euo pipefail
image=${1:?usage: bench/images/carve.sh IMAGE FILES}
files=${2:?usage: bench/images/carve.sh IMAGE FILES}
size_mib=${CARVE_IMAGE_MIB:-256}
python3 - "$image" "$files" "$size_mib" <<'PY'
import os, random, sys

image, folder, size_mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
total = size_mib * 1024 * 1024
rng = random.Random(20251209)
names = sorted(os.listdir(folder))
rng.shuffle(names)
datas = [open(os.path.join(folder, n), "rb").read() for n in names]
content = sum(len(d) for d in datas)
if content * 2 > total:
    sys.exit("carve.sh: %d MiB is too small for %d bytes of files" % (size_mib, content))
mean_gap = (total - content) // (len(datas) + 1) // 2
text = open("/usr/share/common-licenses/GPL-3", "rb").read()

def gap(length):
    kind = rng.randrange(3)
    if kind == 0:
        return bytes(length)
    if kind == 1:
        return rng.randbytes(length)
    start = rng.randrange(len(text))
    return (text[start:] + text * (length // len(text) + 1))[:length]

def align(position, boundary):
    return (position + boundary - 1) // boundary * boundary

out = bytearray()
manifest = ["offset\text\tsize\tfragments\tname"]
for index, (name, data) in enumerate(zip(names, datas)):
    boundary = 512 if index % 2 == 0 else 4096
    out += gap(rng.randrange(0, 2 * mean_gap))
    out += bytes(align(len(out), boundary) - len(out))
    start = len(out)
    pieces = 1
    if len(data) > 16384 and rng.randrange(5) == 0:
        pieces = rng.choice((2, 3))
    cuts = sorted(rng.sample(range(1, len(data) // 512), pieces - 1)) if pieces > 1 else []
    last = 0
    for cut in [c * 512 for c in cuts] + [len(data)]:
        out += data[last:cut]
        if cut != len(data):
            out += rng.randbytes(rng.randrange(8, 128) * 512)
        last = cut
    ext = name.rsplit(".", 1)[-1].lower()
    manifest.append("%d\t%s\t%d\t%d\t%s" % (start, ext, len(data), pieces, name))
if len(out) > total:
    sys.exit("carve.sh: the files and gaps do not fit into %d MiB" % size_mib)
out += rng.randbytes(total - len(out))
with open(image, "wb") as f:
    f.write(out)
with open(image + ".manifest", "w") as f:
    f.write("\n".join(manifest) + "\n")
PY
