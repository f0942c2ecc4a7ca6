// The tavro program: parses the command line and runs one subcommand.
#pragma once

namespace tavro::cli {

// Runs the program and returns its exit code: 0 success, 1 an input/output or data
// error (reported on stderr with the file and the reason), 2 a usage error.
int RunTavro(int argc, char** argv);

}  // namespace tavro::cli
