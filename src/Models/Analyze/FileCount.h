#pragma once
#include <QString>

#include <cstdint>

// The short text of a number of files: 999, 1.2k, 12k, 1.2M. Never localized.
namespace FileCount {
QString format(int64_t count);
}  // namespace FileCount
