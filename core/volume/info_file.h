// The ".zxi" info file beside a volume file: comment lines and one
// reference picture of four 100 × 100 quadrants.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace zx {

/// What reading an info file delivered, and where it stopped.
struct InfoFile {
    enum class Stop {
        None,        ///< read to the end
        NoComments,  ///< the "#Comments" tag was wrong or missing
        NoBitmaps,   ///< the "#Bitmaps" tag was wrong or missing
        Truncated,   ///< the file ended before a field it announces
    };
    Stop stop = Stop::None;
    bool commentsTagRead = false;  ///< the comment group began: the list is replaced
    QStringList comments;          ///< comment lines in file order (as far as read)
    bool bitmapsTagRead = false;   ///< the picture group was read (count and picture)
    int pictureCount = 0;          ///< P as stored
    QImage picture;                ///< the picture, when P ≥ 1
    bool pictureInvalid = false;   ///< P ≥ 1 but the rest of the file is no valid BMP
};

/// Reads an info file. A wrong identifier throws RuntimeError("Falsche
/// Dateikennung InfoFile"); file errors throw the runtime's input/output
/// error. Wrong tags and a premature end stop the reading and are reported
/// in `stop`; a picture that is no valid BMP in `pictureInvalid`, so the
/// caller can show the comments before it reports the bad picture.
InfoFile ReadInfoFile(const QString& path);

/// Reads a whole file into memory, throwing the runtime's input/output error.
/// Only regular files are read (a device or a pipe would never end), and
/// none larger than `maxBytes`: "Datei zu groß".
QByteArray ReadWholeFile(const QString& path, qint64 maxBytes);

/// Decodes a BMP file held in memory; throws "Bitmap ist ungültig".
QImage DecodeBmp(const QByteArray& bytes);

}  // namespace zx
