#include "workflow/PictureFiles.h"

#include <vector>

#include "capture/FileUtil.h"
#include "capture/Log.h"
#include "workflow/Jpeg.h"

namespace mivex {
namespace {

// Entries whose attributes carry bits beyond these six kinds are left alone.
constexpr std::uint32_t kClearableAttributes = fs::kAttrReadOnly | fs::kAttrHidden | fs::kAttrSystem |
                                               fs::kAttrVolumeLabel | fs::kAttrDirectory | fs::kAttrArchive;

void Report(const std::string& text) { LogMessage(text); }

}  // namespace

void ClearFolder(const std::string& path) {
  const std::string dir = fs::WithTrailingDelimiter(path);
  std::vector<fs::DirEntry> entries;
  if (!fs::ListDirectory(dir, entries)) return;
  for (const fs::DirEntry& e : entries) {
    if ((e.attributes & fs::kAttrDirectory) != 0) {
      // A linked folder belongs elsewhere: emptying it would delete files outside.
      if ((e.attributes & fs::kAttrReparsePoint) == 0) ClearFolder(dir + e.name);
    } else if ((e.attributes & ~kClearableAttributes) == 0) {
      fs::DeleteFileAt(dir + e.name);
    }
  }
}

std::string TPictureFolder::FileName(const std::string& name) const { return fs::JoinPath(path_, name); }

bool TPictureFolder::Prepare() const {
  try {
    if (fs::DirectoryExists(path_)) {
      ClearFolder(path_);
      return true;
    }
    if (fs::CreateDir(path_) || fs::DirectoryExists(path_)) return true;
    Report("Cannot create the picture folder " + path_);
  } catch (...) {
    Report("Cannot prepare the picture folder " + path_);
  }
  return false;
}

bool TPictureFolder::Save(const std::string& name, const TJpegImage& picture) const {
  const std::string file = FileName(name);
  try {
    if (!picture.Empty() && fs::WriteWholeFile(file, picture.Data().data(), picture.Data().size())) return true;
  } catch (...) {
  }
  Report("Cannot write the picture file " + file);
  return false;
}

bool TPictureFolder::WriteEnrollPictures(const TFingers& fingers, const TWasEnrolled& wasEnrolled) const {
  bool ok = true;
  for (int k = 1; k <= kFingerCount; ++k) {
    const TFinger* finger = fingers.Item(k);
    const bool enrolledHere = finger->State == TFingerState::fgEnrolled && finger->EnrollTemplate != nullptr;
    const bool deletedFromList = finger->State == TFingerState::fgDeleted && wasEnrolled[static_cast<std::size_t>(k)];
    if (!enrolledHere && !deletedFromList) continue;
    if (!Prepare()) {
      ok = false;
      continue;
    }
    const std::string code = FingerCode(k);
    for (std::size_t i = 0; i < finger->Images.size(); ++i) {
      if (!finger->Images[i] || !Save(code + "_" + std::to_string(i) + ".jpg", *finger->Images[i])) ok = false;
    }
    if (finger->Images.size() >= 2 && finger->Images[1]) {
      ok = Save(code + ".jpg", *finger->Images[1]) && ok;
      ok = Save(kDisplayPictureName, *finger->Images[1]) && ok;
    }
  }
  return ok;
}

bool TPictureFolder::WriteVerifyPicture(const TJpegImage& picture) const {
  return Prepare() && Save(kVerifyPictureName, picture);
}

}  // namespace mivex
