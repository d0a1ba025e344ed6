// Pictures of one export written all or nothing: each goes to a hidden
// temporary file beside its name first, and only when all of them are
// written do they take their names. A failure anywhere removes what this
// run wrote and puts back the files that were there before.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace zx {

class PictureBatch {
public:
    PictureBatch() = default;
    PictureBatch(const PictureBatch&) = delete;
    PictureBatch& operator=(const PictureBatch&) = delete;
    /// Removes the temporary files of a batch that was not committed.
    ~PictureBatch();

    /// Writes `picture` (24-bit BMP) to a temporary file in the folder of
    /// `path`. Throws RuntimeError "Datei <path> kann nicht erstellt werden".
    void Add(const QImage& picture, const QString& path);

    /// Gives every picture its name, replacing files of the same name. If
    /// one cannot take its name, the names done so far get their old files
    /// back (or disappear when there was none) and the same RuntimeError is
    /// thrown; files the batch does not name are never touched.
    void Commit();

private:
    struct Entry {
        QString path, temp, backup;
        bool moved = false;
    };
    void RollBack();
    std::vector<Entry> entries_;
    bool committed_ = false;
};

}  // namespace zx
