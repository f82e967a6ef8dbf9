#pragma once
#include <memory>

#include "Sensors/Fans/SmcRecord.h"
#include "Sensors/Roots.h"

// One open connection to a system management controller: the record in, the
// record out. Backends: the Linux `applesmc` driver, read-only hwmon fans, and a
// simulated controller for tests.
class SmcConnection {
public:
    virtual ~SmcConnection() = default;
    // Runs one command; false when the call itself failed. On return the output's
    // `result` byte tells whether the controller did it (0) or refused.
    virtual bool call(const SmcRecord& input, SmcRecord& output) = 0;

    // The controller of the machine whose /sys is at `roots.sys`: the applesmc driver
    // when present, else the hwmon fans when there are any, else none.
    static std::unique_ptr<SmcConnection> open(const Sensors::Roots& roots = {});
};
