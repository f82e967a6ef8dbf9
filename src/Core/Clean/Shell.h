#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The one runner of external programs. Synchronous and thread-safe: models call
// it from a worker. Never throws.
namespace Shell {
struct Result {
    int status = -1;     // exit status; -1 when the program could not start
    std::string output;  // stdout and stderr interleaved, invalid UTF-8 replaced; or the launch error
    bool timedOut = false;  // the time-out ended the program (not merely a child it left)
};

// Only the last `keep` bytes of the output are held, as it is read.
Result run(const std::string& program, const std::vector<std::string>& arguments, double timeout,
           size_t keep = SIZE_MAX);

// The bytes as text: every ill-formed UTF-8 sequence becomes U+FFFD, as in run()'s output.
std::string decodeUtf8(const std::string& bytes);

// The text run() gives when `program` cannot be started for the error `err`.
std::string launchError(const std::string& program, int err);
}  // namespace Shell
