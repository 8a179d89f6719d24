#pragma once
#include <cstdint>
#include <string>

namespace mivex::host {

enum class Command { kEnroll, kVerify, kDemo };

struct Options {
  Command command = Command::kEnroll;
  std::string library = "Mivex.dll";
  bool plain = false;           // the P variants (NUL-terminated texts)
  bool as_string = false;       // GetFPVerifyTempString instead of GetFPVerifyTemp
  std::string user, enrolled, codes, sequence;
  bool sequence_given = false;  // the set variants
  std::int32_t minimum = 1, maximum = 10;
  double close_after = 0;       // close the dialog with its close box after this many seconds
  std::string screenshot;       // BMP file for a picture of the dialog before it is closed
  std::string scenario_file;    // demo: the simulated sensor's scenario file it rewrites
  std::string real_prints;      // demo: folder of real prints for its second part, if any
};

// Parses the command line; on failure fills `error`.
bool ParseArgs(int argc, char** argv, Options& options, std::string& error);
const char* Usage();

}  // namespace mivex::host
