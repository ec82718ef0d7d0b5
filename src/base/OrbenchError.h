#pragma once

#include <stdexcept>
#include <string>

namespace orbench {

// The one error type of the program: bad numbers, missing fields, files that cannot be read or
// written, refused arguments. The message says which file and line (where there is one) and what
// was wrong; the front ends show it as it stands.
class EOrbenchError : public std::runtime_error {
public:
    explicit EOrbenchError(const std::string& Message) : std::runtime_error(Message) {}
};

// An output file or folder could not be created or written. The message is "PATH: reason"; the
// command line ends with exit code 2 on it.
class EOutputError : public EOrbenchError {
public:
    explicit EOutputError(const std::string& Message) : EOrbenchError(Message) {}
};

// A long computation ended early because the user asked it to stop; nothing it computed is kept.
class EStopRequested : public EOrbenchError {
public:
    EStopRequested() : EOrbenchError("Stopped on request.") {}
};

// "<file>, line <n>: <what>"
EOrbenchError FileLineError(const std::string& FileName, int LineNumber, const std::string& What);

// Refuses an OR-day capacity of 0 minutes or less (or not a number).
void RequirePositiveCapacity(double CapacityORinMinutes);

}  // namespace orbench
