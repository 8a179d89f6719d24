#pragma once
// mivex-tool's commands, callable in-process (the program's main only forwards):
//   inspect <string or @file> [--picture[=FOLDER]] [--out DIR] [--json]
//   match <enrollment> <verification> [--far RATE] [--json]
//   identify <verification> <gallery folder or CSV> [--far RATE] [--top N] [--threads N] [--json]
#include <ostream>
#include <string>
#include <vector>

namespace mivex::tool {

enum ExitCode : int {
  kExitOk = 0,         // done; for match and identify: a match at the chosen rate
  kExitNoMatch = 1,    // match and identify: nothing reached the chosen rate
  kExitUsage = 2,      // unknown command or option, missing or bad argument
  kExitMalformed = 3,  // a template string (or gallery entry) is malformed
  kExitFile = 4,       // a file or folder cannot be read or written
  kExitFailed = 5,     // the engine failed (out of memory)
};

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of a command-line argument: the argument itself, or the contents of the
// file named after '@' (one trailing line break dropped). False with a message in
// `error` when the file cannot be read or is too long.
bool ArgumentText(const std::string& arg, std::string& text, std::string& error);

}  // namespace mivex::tool
