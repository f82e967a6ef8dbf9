#pragma once
#include <QColor>
#include <QString>

#include <optional>

#include "Sensors/SystemInfo.h"

// The texts of the live readings that the Status tab and the menu-bar panel share.
// Pure functions; a reading that is not a finite number never shows as one.
namespace StatusFormat {

// The reading when it is a finite number, else none.
std::optional<double> finite(std::optional<double> value);
// A fraction as a whole percent, cut toward zero (0.999 gives 99); 0 when not a number.
int percent(double fraction);
// Degrees Celsius rounded to the nearest whole number, halves away from zero, then
// "°C": 44.5 gives "45°C", -0.5 gives "-1°C". An em dash for a value that is not a number.
QString temp(double celsius);
// "Excellent" from 85, "Good" from 65, else "Needs care".
QString healthWord(int score);
// Time since boot in days, hours and minutes, abbreviated, at most `units` of them
// counted from the largest that is not zero: "3d 4h"; "0m" under a minute; empty
// when unknown.
QString uptime(std::optional<double> seconds, int units);
// The running system as a chip names it: the name without a trailing "Linux" or
// "GNU/Linux", then the major version ("Debian 12"); "Linux" when unknown.
QString system(const Sensors::OSVersion& version);

struct Thermal {
    QString word;
    QColor color;
};
// Nominal "Cool", fair "Warm", serious "Hot", critical "Throttling", each in its colour.
Thermal thermal(Sensors::ThermalState state);

}  // namespace StatusFormat
