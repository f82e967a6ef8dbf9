#pragma once
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <vector>

// The one pair of conversions between the engine's UTF-8 texts and byte-exact
// paths and Qt's strings, and the same for lists of texts.
inline QString toQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string fromQString(const QString& s) { return s.toUtf8().toStdString(); }
inline QString pathToQString(const std::filesystem::path& p) { return QString::fromLocal8Bit(p.native().data(), static_cast<qsizetype>(p.native().size())); }
inline std::filesystem::path pathFromQString(const QString& s) { return std::filesystem::path(s.toLocal8Bit().toStdString()); }

inline QStringList toQStringList(const std::vector<std::string>& list) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(list.size()));
    for (const auto& s : list) out.append(toQString(s));
    return out;
}
inline std::vector<std::string> fromQStringList(const QStringList& list) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(list.size()));
    for (const auto& s : list) out.push_back(fromQString(s));
    return out;
}
