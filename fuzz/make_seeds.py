#!/usr/bin/python3
"""Writes the fuzzers' seed corpora into fuzz/corpus/: small valid inputs of
each format (as the tests build them), Debian's pydicom test files, and the
hostile inputs that found faults (a cut BMP, a huge comment count, extreme
NIfTI values). Run from the repository root."""
import gzip
import os
import struct
import subprocess
import zlib

OUT = "fuzz/corpus"
PYDICOM = "/usr/lib/python3/dist-packages/pydicom/data/test_files/"


def put(name, data):
    os.makedirs(os.path.dirname(os.path.join(OUT, name)), exist_ok=True)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def bmp24(w, h):
    row = ((w * 3 + 3) // 4) * 4
    pixels = b"".join(bytes((x * 40) % 256 for x in range(w * 3)).ljust(row, b"\0") for _ in range(h))
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, w, h, 1, 24, 0,
                         len(pixels), 2835, 2835, 0, 0)
    return header + pixels


def short(s):
    return bytes([len(s)]) + s


def nifti1(dims, datatype, bitpix, values, cal=(0.0, 0.0), big=False):
    e = ">" if big else "<"
    h = bytearray(352)
    struct.pack_into(e + "i", h, 0, 348)
    struct.pack_into(e + "8h", h, 40, 3, *dims, 1, 1, 1, 1)
    struct.pack_into(e + "hh", h, 70, datatype, bitpix)
    struct.pack_into(e + "8f", h, 76, 1, 1, 1, 1, 1, 1, 1, 1)
    struct.pack_into(e + "f", h, 108, 352.0)
    struct.pack_into(e + "ff", h, 124, cal[1], cal[0])
    h[344:348] = b"n+1\0"
    fmt = {2: "B", 4: "h", 16: "f", 64: "d"}[datatype]
    return bytes(h) + struct.pack(e + "%d%s" % (len(values), fmt), *values)


def nifti2(dims, datatype, values, scale=(0.0, 0.0), big=False):
    """A NIfTI-2 file with an extension block before its data and a scale."""
    e = ">" if big else "<"
    h = bytearray(560)
    struct.pack_into(e + "i8s", h, 0, 540, b"n+2\0\r\n\x1a\n")
    fmt, width = {2: ("B", 1), 4: ("h", 2), 512: ("H", 2), 768: ("I", 4), 64: ("d", 8)}[datatype]
    struct.pack_into(e + "hh", h, 12, datatype, 8 * width)
    struct.pack_into(e + "8q", h, 16, len(dims), *dims, *[1] * (7 - len(dims)))
    struct.pack_into(e + "8d", h, 104, -1, 1.5, 2, 2.5, 1, 1, 1, 1)
    struct.pack_into(e + "qdd", h, 168, 560, *scale)
    struct.pack_into(e + "ii", h, 344, 1, 2)
    struct.pack_into(e + "6d", h, 352, 0.1, 0.2, 0.3, 4, 5, 6)
    struct.pack_into(e + "12d", h, 400, 0, 0, -1.5, 3, 2, 0, 0, -4, 0, 2.5, 0, 5)
    struct.pack_into(e + "4b", h, 540, 1, 0, 0, 0)
    struct.pack_into(e + "ii", h, 544, 16, 0)
    return bytes(h) + struct.pack(e + "%d%s" % (len(values), fmt), *values)


def mgh(dims, frames, mtype, values, good_ras=1):
    h = bytearray(284)
    struct.pack_into(">7i", h, 0, 1, *dims, frames, mtype, 0)
    struct.pack_into(">h", h, 28, good_ras)
    struct.pack_into(">3f", h, 30, 1.0, 1.5, 2.0)
    struct.pack_into(">12f", h, 42, -1, 0, 0, 0, 0, -1, 0, 1, 0, 0, 0, 0)
    fmt = {0: "B", 1: "i", 3: "f", 4: "h"}[mtype]
    return bytes(h) + struct.pack(">%d%s" % (len(values), fmt), *values)


def nrrd(fields, data):
    return ("NRRD0004\n" + "".join("%s: %s\n" % kv for kv in fields) + "\n").encode() + data


def metaimage(fields, data):
    return "".join("%s = %s\n" % kv for kv in fields).encode() + data


def dicom_bytes(rows, cols, samples, length=None):
    def el(g, e, v):
        return struct.pack("<HHI", g, e, len(v)) + v
    px = struct.pack("<%dH" % len(samples), *samples)
    head = b"\0" * 128 + b"DICM" + el(0x28, 0x10, struct.pack("<H", rows)) + el(0x28, 0x11, struct.pack("<H", cols))
    return head + struct.pack("<HHI", 0x7FE0, 0x10, len(px) if length is None else length) + px


def main():
    # The seeds are made afresh; the committed regress-* inputs (crashes
    # found once, kept as regressions) stay.
    for folder, _, names in os.walk(OUT):
        for name in names:
            if not name.startswith("regress-"):
                os.remove(os.path.join(folder, name))
    # .vmr: a part plane, a plane and a bit.
    put("vmr/part", bytes(range(256)) * 2)
    put("vmr/plane", bytes((i * 7) % 256 for i in range(65536 + 300)))
    # BMP: 24-bit, cut after a few rows, and other variants by ImageMagick.
    put("bmp/rgb24", bmp24(16, 12))
    put("bmp/cut", bmp24(256, 256)[:3000])
    for kind in ("BMP3:", "BMP2:"):
        data = subprocess.run(["convert", "-size", "8x8", "gradient:red-blue", "-type", "Palette", kind + "-"],
                              capture_output=True, check=True).stdout
        put("bmp/palette-" + kind[:-1].lower(), data)
    # Info files: good, a huge comment count, a picture cut short.
    pic = bmp24(8, 8)
    good = b"ZX1234" + short(b"Titel") + short(b"#Comments") + struct.pack("<i", 2) + short(b"Kopf") + \
        short(b"T1") + short(b"#Bitmaps") + struct.pack("<i", 1) + pic
    put("info/good", good)
    put("info/huge-count", b"ZX1234" + short(b"T") + short(b"#Comments") + struct.pack("<i", 2**31 - 1) + b"\0" * 64)
    put("info/cut-picture", good[:-40])
    # NIfTI: a ramp, gzip, big endian, extreme values and an infinite gain.
    ramp = list(range(64))
    put("nifti/ramp", nifti1((4, 4, 4), 2, 8, ramp))
    put("nifti/ramp-gz", gzip.compress(nifti1((4, 4, 4), 2, 8, ramp)))
    put("nifti/big-int16", nifti1((4, 4, 4), 4, 16, ramp, big=True))
    put("nifti/extreme", nifti1((4, 4, 4), 64, 64, [(-1) ** i * 1.7e308 for i in range(64)]))
    put("nifti/float-window", nifti1((4, 4, 4), 16, 32, [i / 7 for i in range(64)], cal=(0.0, 1e-30)))
    # NIfTI-2, big endian, 4-D, scaled, data after an extension.
    put("nifti/nifti2-4d", nifti2((3, 4, 5, 2), 4, [(i * 37) % 200 - 100 for i in range(120)], (0.5, 7), True))
    # Gzip NIfTI files whose headers reach the size limits: a plane of 16 MiB
    # that is really there (streamed), planes beyond 64 MiB, more than 2 GiB
    # in all, and an atlas beyond 512 MiB.
    plane = nifti1((4096, 4096, 1), 2, 8, [])
    put("nifti/gz-16mib-plane", gzip.compress(plane + bytes(4096 * 4096), 9))
    put("nifti/gz-huge-plane", gzip.compress(nifti1((8192, 8193, 1), 2, 8, []) + bytes(65536), 9))
    put("nifti/gz-over-2gib", gzip.compress(nifti1((1024, 1024, 1025), 4, 16, []) + bytes(1 << 20), 9))
    put("labels/gz-over-512mib", gzip.compress(nifti1((1024, 1024, 513), 2, 8, []) + bytes(1 << 20), 9))
    put("labels/gz-256mib", gzip.compress(nifti1((1024, 512, 512), 2, 8, []) + bytes(1 << 28), 9))
    put("labels/ramp", nifti1((4, 4, 4), 2, 8, ramp))
    put("labels/float", nifti1((4, 4, 4), 16, 32, [i / 3 for i in range(64)]))
    put("labels/nifti2-uint16", nifti2((4, 4, 4), 512, [i % 9 for i in range(64)], (2.0, -1.0), True))
    # MGH/MGZ: every type, 4-D, the coronal default, a huge claim.
    put("mgh/uchar", mgh((4, 4, 4), 1, 0, ramp))
    put("mgh/short-4d-gz", gzip.compress(mgh((4, 4, 2), 2, 4, ramp)))
    put("mgh/float-default-ras", mgh((4, 4, 4), 1, 3, [i / 3 for i in range(64)], good_ras=0))
    put("mgh/int", mgh((2, 4, 8), 1, 1, ramp))
    put("mgh/gz-huge", gzip.compress(mgh((8192, 8192, 64), 1, 0, []) + bytes(1 << 20), 9))
    # NRRD: raw and gzip, directions in LPS, a list axis, spacings only.
    base = [("type", "short"), ("dimension", "3"), ("sizes", "4 4 4"), ("endian", "big")]
    put("nrrd/raw-lps", nrrd(base + [("space", "left-posterior-superior"),
                                     ("space directions", "(1,0,0) (0,1.5,0) (0,0,2)"),
                                     ("encoding", "raw")], struct.pack(">64h", *ramp)))
    put("nrrd/gzip-4d", nrrd([("type", "uchar"), ("dimension", "4"), ("sizes", "4 4 2 2"),
                              ("space", "RAS"), ("space directions", "(1,0,0) (0,1,0) (0,0,1) none"),
                              ("kinds", "domain domain domain list"), ("encoding", "gzip")],
                             gzip.compress(bytes(ramp))))
    put("nrrd/spacings", nrrd([("type", "float"), ("dimension", "3"), ("sizes", "4 4 4"),
                               ("spacings", "1 1 3"), ("encoding", "raw"), ("byte skip", "-1")],
                              b"junk" + struct.pack("<64f", *ramp)))
    # MetaImage: attached raw, zlib, 4-D with a 4 x 4 matrix.
    mbase = [("ObjectType", "Image"), ("NDims", "3"), ("DimSize", "4 4 4"),
             ("ElementSpacing", "1 1 2"), ("TransformMatrix", "0 1 0 1 0 0 0 0 1")]
    put("metaimage/raw", metaimage(mbase + [("ElementType", "MET_SHORT"), ("ElementDataFile", "LOCAL")],
                                   struct.pack("<64h", *ramp)))
    put("metaimage/zlib", metaimage(mbase + [("CompressedData", "True"), ("ElementType", "MET_UCHAR"),
                                             ("ElementDataFile", "LOCAL")], zlib.compress(bytes(ramp))))
    put("metaimage/4d", metaimage([("NDims", "4"), ("DimSize", "4 4 2 2"),
                                   ("TransformMatrix", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"),
                                   ("ElementType", "MET_DOUBLE"), ("ElementDataFile", "LOCAL")],
                                  struct.pack("<64d", *ramp)))
    # Companion files: an edge, a subnormal, noise around the key.
    put("meta/edge", b"# Zerebrix-MR\nedge_mm: 0.9375\n")
    put("meta/subnormal", b"edge_mm: 5e-324\n")
    put("meta/noise", b"edge_mm:\x00 1e3\r\nedge_mm: nan\nfoo: 1\n")
    # Result blocks: head fields, message and notice, then the index text.
    line = b"0\t32\t32\t6\t1\t1\t2\t\tPAT\t20240101\tKopf\t3\tT1\tMR\t1.2.3\n"
    head = struct.pack("<iidi??", 0, 5, 1.0, 1, True, True)
    put("result/index", head + b"\0" + b"\0" + b"\0" + b"\0" + line * 3)
    put("result/volume", struct.pack("<iidi??", 0, 200, 0.5, 0, True, False) + b"\0" * 4)
    # Lessons: the documented example, a choice question, a newer version.
    example = ('{"format": "zerebrix-lesson", "version": 1, "title": "Das Gehirn im Schnitt", '
               '"volume": "MR_Kopf.vmr", "stops": [{"title": "Der Balken", "text": "Er verbindet.", '
               '"point": [90, 128, 100], "window": {"centre": 110, "width": 140, "map": "Grau"}, '
               '"neurological": false, "atlas": "aal", "annotations": [{"view": 1, "plane": 90, '
               '"target": [128, 100], "label": [60, 40], "text": "Balken"}], "measurements": '
               '[{"view": 3, "plane": 100, "points": [[40, 60], [140, 60]]}], "question": '
               '{"kind": "point", "prompt": "Zeigen Sie.", "answer": [90, 150, 140], "radius_mm": 8}}]}')
    put("lesson/example", example.encode())
    put("lesson/choice", example.replace('"kind": "point"', '"kind": "choice", "options": ["a", "b"], '
                                         '"choice": 1').encode())
    put("lesson/newer", example.replace('"version": 1', '"version": 2').encode())
    # Index texts (odd first byte) and header sets (even first byte).
    put("index/text", b"\x01" + line * 2 + b"5\t0\t0\t1\t0\t0\t0\tKein Bild\t\t\t\t\t\t\t\n")
    put("index/headers", b"\x00" + bytes(range(256)))
    # DICOMDIRs: Debian's pydicom ones.
    for name in ("DICOMDIR", "DICOMDIR-implicit", "DICOMDIR-bigEnd", "DICOMDIR-reordered"):
        path = PYDICOM + "dicomdirtests/" + name
        if os.path.exists(path):
            with open(path, "rb") as f:
                put("dicomdir/" + name, f.read())
    # DICOM: byte-built ones and Debian's pydicom test files.
    put("dicom/implicit", dicom_bytes(8, 8, list(range(64))))
    put("dicom/undefined-length", dicom_bytes(8, 8, [1, 2], length=0xFFFFFFFF))
    put("dicom/too-large", dicom_bytes(1100, 1100, [1]))
    for name in ("MR_small.dcm", "MR_small_implicit.dcm", "MR_small_bigendian.dcm", "MR_small_RLE.dcm"):
        if os.path.exists(PYDICOM + name):
            with open(PYDICOM + name, "rb") as f:
                data = f.read()
            put("dicom/" + name, data)
            put("series/" + name, data)


if __name__ == "__main__":
    main()
