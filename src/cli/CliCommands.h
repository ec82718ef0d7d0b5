#pragma once

#include <string>
#include <vector>

namespace orbench::cli {

// Runs orbench-cli with the arguments after the program name; returns the exit code.
int RunCli(const std::vector<std::string>& Args);

}  // namespace orbench::cli
