#include "Models/Clean/Shockwave.h"

#include "Models/Kit/AssignIfChanged.h"

Shockwave& Shockwave::shared() {
    static Shockwave* instance = new Shockwave;
    return *instance;
}

void Shockwave::setStart(std::optional<TimePoint> value) {
    if (assignIfChanged(start_, value)) emit startChanged();
}

void Shockwave::setStrength(double value) {
    if (assignIfChanged(strength_, value)) emit strengthChanged(value);
}

std::optional<Shockwave::Live> Shockwave::live(TimePoint now) const {
    if (!start_) return std::nullopt;
    const double age = std::chrono::duration<double>(now - *start_).count();
    if (age < 0 || age >= duration(strength_)) return std::nullopt;
    return Live{*start_, strength_};
}
