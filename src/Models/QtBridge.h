#pragma once
#include <QString>

#include <filesystem>
#include <string>

// The one pair of conversions between the engine's UTF-8 texts and byte-exact
// paths and Qt's strings.
inline QString toQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string fromQString(const QString& s) { return s.toUtf8().toStdString(); }
inline QString pathToQString(const std::filesystem::path& p) { return QString::fromLocal8Bit(p.native().data(), static_cast<qsizetype>(p.native().size())); }
inline std::filesystem::path pathFromQString(const QString& s) { return std::filesystem::path(s.toLocal8Bit().toStdString()); }
