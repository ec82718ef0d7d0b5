#include "CliCommands.h"

int main(int argc, char** argv) { return orbench::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc)); }
