#pragma once

// Stores `value` in `field` and tells whether that changed it: models notify
// their observers only then.
template <class T>
bool assignIfChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}
