// mivex-tool: looks inside template strings, compares them and searches galleries of
// them outside the dialog, with the engine's own scores.
#include <iostream>
#include <string>
#include <vector>

#include "Tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = mivex::tool::RunTool(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
