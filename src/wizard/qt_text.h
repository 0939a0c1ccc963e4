// Paths between Qt's text and the file system's bytes.
#pragma once

#include <string>

#include <QFile>
#include <QString>

namespace quorv::wizard {

inline std::string toPath(const QString &path) {
    return QFile::encodeName(path).toStdString();
}
inline QString fromPath(const std::string &path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace quorv::wizard
