// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace kelmora {

// Display text of a native path; the path itself stays native everywhere else. POSIX names are
// bytes in the locale's encoding (bytes that do not decode show as replacement characters); Windows
// names are UTF-16. Overloads, so the native form picks the right one without any build switch.
inline QString displayText(const std::string& native) {
    return QFile::decodeName(QByteArray(native.data(), static_cast<qsizetype>(native.size())));
}
inline QString displayText(const std::wstring& native) { return QString::fromStdWString(native); }

inline QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace kelmora
