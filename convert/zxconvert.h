// What the source files of zxconvert share: the refusal of a call, the
// check of output names and the writing of volume files, and the commands
// that live in files of their own.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

namespace zxconvert {

/// A call the command does not take: main prints the text and the usage
/// and ends with 2.
struct UsageError {
    QString text;
};

/// Refuses an output name that is empty, one of the inputs or (for a
/// volume) without the ".vmr" extension.
void CheckOutput(const QString& out, const QStringList& inputs, bool volume);

/// Writes a volume file and, beside it, what is known of its voxel edge
/// (0: unknown, and an old companion file goes).
void WriteVolume(const QString& out, const std::uint8_t* voxels, int planes, double edgeMm,
                 const std::string& format = {});

/// zxconvert dicom-series [--list] [--series N] FOLDER|DICOMDIR [OUT.vmr]
/// (zxconvert_dicom.cpp).
int DicomSeries(QStringList a);

}  // namespace zxconvert
