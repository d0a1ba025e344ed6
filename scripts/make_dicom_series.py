#!/usr/bin/python3
"""Writes a NIfTI head (uint8/int16, gzip or plain) as an axial DICOM series
of one file per slice (CT Image Storage, explicit VR little endian), for
timing and trying the DICOM series reader. Needs python3-pydicom and numpy.

usage: make_dicom_series.py HEAD.nii[.gz] FOLDER
       make_dicom_series.py --ct SLICES FOLDER
With --ct, a synthetic CT-sized series instead: SLICES slices of 512 x 512
signed 16-bit samples (0.5 mm pixels, 0.5 mm apart) with the CT rescale
(intercept -1024): an ellipse of soft tissue in a shell of bone, and noise.
"""
import gzip
import os
import struct
import sys

import numpy as np
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid


def read_nifti(path):
    raw = open(path, "rb").read()
    if raw[:2] == b"\x1f\x8b":
        raw = gzip.decompress(raw)
    dim = struct.unpack_from("<8h", raw, 40)
    datatype, = struct.unpack_from("<h", raw, 70)
    pixdim = struct.unpack_from("<8f", raw, 76)
    offset = int(struct.unpack_from("<f", raw, 108)[0])
    dtype = {2: np.uint8, 4: np.int16, 512: np.uint16}[datatype]
    nx, ny, nz = dim[1], dim[2], dim[3]
    data = np.frombuffer(raw, dtype=dtype, count=nx * ny * nz, offset=offset)
    return data.reshape((nz, ny, nx)).astype(np.int16), pixdim[1:4]


def ct_phantom(slices):
    rng = np.random.default_rng(1)
    y, x = np.mgrid[0:512, 0:512]
    for k in range(slices):
        t = 1.0 - abs(k - slices / 2) / (slices / 2 + 40)
        r = ((x - 256) / (200 * t)) ** 2 + ((y - 256) / (230 * t)) ** 2
        plane = np.where(r < 1, 1064, 24).astype(np.int16)  # 40 HU inside, -1000 HU air
        plane[(r >= 0.85) & (r < 1)] = 2024  # bone
        plane += rng.integers(-20, 20, size=plane.shape, dtype=np.int16)
        yield plane


def main(head, folder):
    if head == "--ct":
        slices = int(folder)
        folder = sys.argv[3]
        volume, (sx, sy, sz) = ct_phantom(slices), (0.5, 0.5, 0.5)
        nz, ny, nx = slices, 512, 512
    else:
        volume, (sx, sy, sz) = read_nifti(head)
        nz, ny, nx = volume.shape
    os.makedirs(folder, exist_ok=True)
    series, study = generate_uid(), generate_uid()
    for k, plane in enumerate(volume):
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2"
        meta.MediaStorageSOPInstanceUID = generate_uid()
        meta.TransferSyntaxUID = ExplicitVRLittleEndian
        ds = FileDataset(None, {}, file_meta=meta, preamble=b"\0" * 128)
        ds.is_little_endian, ds.is_implicit_VR = True, False
        ds.SOPClassUID = meta.MediaStorageSOPClassUID
        ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
        ds.StudyInstanceUID, ds.SeriesInstanceUID = study, series
        ds.Modality = "CT" if head == "--ct" else "MR"
        ds.InstanceNumber = k + 1
        # NIfTI RAS rows and columns: LPS orientation with x and y reversed.
        ds.ImageOrientationPatient = [-1, 0, 0, 0, -1, 0]
        ds.ImagePositionPatient = [0, 0, float(k * sz)]
        ds.PixelSpacing = [float(sy), float(sx)]
        ds.SliceThickness = float(sz)
        ds.Rows, ds.Columns = ny, nx
        ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, "MONOCHROME2"
        ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 1
        ds.RescaleIntercept, ds.RescaleSlope = (-1024 if head == "--ct" else 0), 1
        ds.PixelData = np.ascontiguousarray(plane).tobytes()
        # Random file names, as a PACS export gives them.
        ds.save_as(os.path.join(folder, "%s.dcm" % ds.SOPInstanceUID[-12:]), write_like_original=False)


if __name__ == "__main__":
    if len(sys.argv) != (4 if sys.argv[1:2] == ["--ct"] else 3):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
