#!/usr/bin/env python3
"""Scores what carving tools recovered from the carving image against its manifest.

usage: carve_score.py IMAGE MANIFEST TOOL=RESULTS...

RESULTS is either lumenard:LISTING.tsv (lost files of `lumenard-cli analyse --sectors-only
--format tsv`; the recovered bytes of each are its start and size on the image, as
`lumenard-cli cat --start` reads them) or files:FOLDER (a tool's output files, named after
their first 512-byte sector, as PhotoRec and foremost name them). Prints per file type, for
each tool: the files found at their start, complete (the recovered bytes begin with the whole
original) and exact (the recovered bytes are the original).
"""
import collections, os, re, sys

def read_manifest(path):
    files = []
    with open(path) as f:
        next(f)
        for line in f:
            offset, ext, size, fragments, name = line.rstrip("\n").split("\t")
            files.append((int(offset), ext, int(size), int(fragments), name))
    return files

def lumenard_outputs(listing, image_size):
    """start -> list of (start, length) on the image."""
    out = collections.defaultdict(list)
    with open(listing) as f:
        header = next(f).rstrip("\n").split("\t")
        col = {name: i for i, name in enumerate(header)}
        for line in f:
            row = line.rstrip("\n").split("\t")
            if row[col["state"]] != "lost":
                continue
            start, size = int(row[col["start"]]), int(row[col["size"]])
            if size < 0:
                size = image_size - start
            out[start].append(("image", start, size))
    return out

def file_outputs(folder):
    out = collections.defaultdict(list)
    for root, _, names in os.walk(folder):
        for name in names:
            m = re.match(r"f?(\d+)", name)
            if m and "." in name:
                out[int(m.group(1)) * 512].append(("file", os.path.join(root, name), None))
    return out

def recovered_bytes(image, output, want):
    kind, where, length = output
    if kind == "image":
        image.seek(where)
        return image.read(min(length, want + 1))
    with open(where, "rb") as f:
        return f.read(want + 1)

def main():
    image_path, manifest_path = sys.argv[1], sys.argv[2]
    tools = []
    image_size = os.path.getsize(image_path)
    for results in sys.argv[3:]:
        name, rest = results.split("=", 1)
        kind, where = rest.split(":", 1)
        tools.append((name, lumenard_outputs(where, image_size) if kind == "lumenard"
                      else file_outputs(where)))
    files = read_manifest(manifest_path)
    by_type = collections.defaultdict(lambda: collections.Counter())
    with open(image_path, "rb") as image:
        for offset, ext, size, fragments, name in files:
            original = None
            by_type[ext]["files"] += 1
            by_type[ext]["fragmented"] += fragments > 1
            for tool, outputs in tools:
                candidates = outputs.get(offset, [])
                if not candidates:
                    continue
                by_type[ext][tool + ".found"] += 1
                if original is None:
                    original = read_original(image_path, manifest_path, name)
                best = 0
                for output in candidates:
                    data = recovered_bytes(image, output, len(original))
                    if data == original:
                        best = 2
                    elif data.startswith(original):
                        best = max(best, 1)
                by_type[ext][tool + ".complete"] += best >= 1
                by_type[ext][tool + ".exact"] += best == 2
    names = [t for t, _ in tools]
    head = "%-5s %5s %4s" % ("type", "files", "frag") + "".join(
        " | %-18s" % ("%s f/c/e" % t) for t in names)
    print(head)
    total = collections.Counter()
    for ext in sorted(by_type):
        c = by_type[ext]
        total.update(c)
        print("%-5s %5d %4d" % (ext, c["files"], c["fragmented"]) + "".join(
            " | %-18s" % ("%d/%d/%d" % (c[t + ".found"], c[t + ".complete"], c[t + ".exact"]))
            for t in names))
    print("%-5s %5d %4d" % ("all", total["files"], total["fragmented"]) + "".join(
        " | %-18s" % ("%d/%d/%d" % (total[t + ".found"], total[t + ".complete"], total[t + ".exact"]))
        for t in names))

def read_original(image_path, manifest_path, name):
    folder = os.environ.get("CARVE_FILES") or os.path.join(os.path.dirname(manifest_path), "carve-files")
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()

if __name__ == "__main__":
    main()
