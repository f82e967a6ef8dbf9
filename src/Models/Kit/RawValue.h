#pragma once
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// The inverse of an enumeration's rawValue(): the case of `allCases` whose raw
// value is exactly `raw` (case and blanks count), or none.
template <class E, std::size_t N>
std::optional<E> caseWithRawValue(const std::array<E, N>& allCases, const QString& raw) {
    for (E e : allCases)
        if (rawValue(e) == raw) return e;
    return std::nullopt;
}
