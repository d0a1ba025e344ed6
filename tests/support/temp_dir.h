// A temporary folder per test, removed afterwards, with small file helpers.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace zxtest {

class TempDir {
public:
    TempDir() : dir_(QDir::tempPath() + QStringLiteral("/zerebrix-test-XXXXXX")) {}
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Root() const { return dir_.path(); }

    QString Write(const QString& name, const QByteArray& bytes) const {
        const QString p = Path(name);
        QFile f(p);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return p;
    }
    QString Write(const QString& name, const std::vector<std::uint8_t>& bytes) const {
        return Write(
            name, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }

private:
    QTemporaryDir dir_;
};

/// Bytes whose value at index i is a fixed function of i and `seed`.
inline std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed = 1) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = std::uint8_t((i * 2654435761u + seed * 97u + (i >> 16) * 31u) >> 7);
    }
    return v;
}

}  // namespace zxtest
