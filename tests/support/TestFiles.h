#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

namespace krvs::test {

// A whole file's bytes; empty when it cannot be read.
inline QByteArray readFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces a file's content; false when it cannot be written.
inline bool writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace krvs::test
