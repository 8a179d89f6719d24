#include "capture/FileUtil.h"

namespace mivex::fs {

std::string WithTrailingDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == PathDelimiter()) return path;
  return path + PathDelimiter();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return WithTrailingDelimiter(dir) + name;
}

}  // namespace mivex::fs
