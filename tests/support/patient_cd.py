#!/usr/bin/python3
"""Writes made-up DICOM data with pydicom, as other software writes it.

patient_cd.py cd OUT
    A patient CD: a DICOMDIR (pydicom's FileSet) over nested folders of
    extensionless files: a three-plane localiser, an axial and a sagittal
    volume, a single image and a text report.
patient_cd.py endian OUT BITS
    The same axial series of BITS-bit samples twice, explicit VR little
    endian in OUT/le and big endian in OUT/be.
"""
import array
import sys

from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.fileset import FileSet
from pydicom.uid import (ExplicitVRBigEndian, ExplicitVRLittleEndian,
                         generate_uid)

MR = "1.2.840.10008.5.1.4.1.1.4"
SR = "1.2.840.10008.5.1.4.1.1.88.11"
STUDY = generate_uid()


def base(sop_class, modality, series_uid, number, description):
    ds = Dataset()
    ds.file_meta = FileMetaDataset()
    ds.file_meta.MediaStorageSOPClassUID = sop_class
    ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = generate_uid()
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    ds.PatientName = "Muster^Anna"
    ds.PatientID = "4711"
    ds.StudyInstanceUID = STUDY
    ds.StudyDate = "20240131"
    ds.StudyTime = "101500"
    ds.StudyID = "1"
    ds.AccessionNumber = ""
    ds.ReferringPhysicianName = ""
    ds.StudyDescription = "Kopf"
    ds.Modality = modality
    ds.SeriesInstanceUID = series_uid
    ds.SeriesNumber = number
    ds.SeriesDescription = description
    ds.InstanceNumber = 1
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    return ds


def image(series_uid, number, description, rows, columns, orientation,
          position, value, image_type="ORIGINAL\\PRIMARY\\M", bits=16,
          big_endian=False, disc=False):
    ds = base(MR, "MR", series_uid, number, description)
    ds.ImageType = image_type.split("\\")
    ds.Rows = rows
    ds.Columns = columns
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated = bits
    ds.BitsStored = bits
    ds.HighBit = bits - 1
    ds.PixelRepresentation = 0
    ds.PixelSpacing = [1, 1]
    ds.SliceThickness = 2
    ds.ImageOrientationPatient = orientation
    ds.ImagePositionPatient = position
    def sample(i):
        r, c = divmod(i, columns)
        if disc and (2 * r - rows) ** 2 + (2 * c - columns) ** 2 > (rows * 4 // 5) ** 2:
            return 0
        return value + c * 3
    samples = array.array("I" if bits == 32 else "H", [sample(i) for i in range(rows * columns)])
    if big_endian:
        samples.byteswap()
        ds.file_meta.TransferSyntaxUID = ExplicitVRBigEndian
        ds.is_little_endian = False
    ds.PixelData = samples.tobytes()
    ds["PixelData"].VR = "OB" if bits == 8 else "OW"
    return ds


AXIAL = [1, 0, 0, 0, 1, 0]
SAGITTAL = [0, 1, 0, 0, 0, -1]
CORONAL = [1, 0, 0, 0, 0, -1]


def cd(out):
    fs = FileSet()
    localiser = generate_uid()
    for k, o in enumerate([AXIAL, SAGITTAL, CORONAL]):
        fs.add(image(localiser, 1, "Uebersicht", 32, 32, o, [-16, -16, 0], 50 + k,
                     "ORIGINAL\\PRIMARY\\LOCALIZER", disc=True))
    t1 = generate_uid()
    for k in range(8):
        fs.add(image(t1, 2, "T1 axial", 32, 32, AXIAL, [-16, -16, 2.0 * k], 100 + 40 * k,
                     disc=True))
    t2 = generate_uid()
    for k in range(6):
        fs.add(image(t2, 3, "T2 sagittal", 24, 32, SAGITTAL, [3.0 * k, -16, 12], 300 + 30 * k,
                     disc=True))
    fs.add(image(generate_uid(), 4, "Einzelschicht", 32, 32, AXIAL, [-16, -16, 5], 900))
    report = base(SR, "SR", generate_uid(), 5, "Befund")
    report.ValueType = "CONTAINER"
    report.ContinuityOfContent = "SEPARATE"
    report.CompletionFlag = "COMPLETE"
    report.VerificationFlag = "UNVERIFIED"
    report.ContentDate = "20240131"
    report.ContentTime = "103000"
    concept = Dataset()
    concept.CodeValue = "11528-7"
    concept.CodingSchemeDesignator = "LN"
    concept.CodeMeaning = "Radiology Report"
    report.ConceptNameCodeSequence = [concept]
    fs.add(report)
    fs.write(out)


def endian(out, bits):
    uid = generate_uid()
    for order in ("le", "be"):
        for k in range(5):
            ds = image(uid, 1, "T1", 16, 16, AXIAL, [0, 0, 2.0 * k], 1000 + 5000 * k,
                       bits=bits, big_endian=order == "be")
            ds.save_as(f"{out}/{order}/s{k}", write_like_original=False)


if __name__ == "__main__":
    if sys.argv[1] == "cd":
        cd(sys.argv[2])
    else:
        endian(sys.argv[2], int(sys.argv[3]))
