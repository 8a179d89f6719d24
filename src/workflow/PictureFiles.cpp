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
    const std::string entry = dir + e.name;
    // Judged again without following: the listing may report a link as what it points to.
    switch (fs::InspectEntry(entry)) {
      case fs::EntryKind::kLink:
        // The link goes, never what it points to (where the platform cannot remove the
        // link alone, it stays).
        fs::DeleteEntryNoFollow(entry);
        break;
      case fs::EntryKind::kDirectory:
        ClearFolder(entry);
        break;
      case fs::EntryKind::kFile:
        if ((e.attributes & ~kClearableAttributes) == 0) fs::DeleteEntryNoFollow(entry);
        break;
      default:
        break;
    }
  }
}

std::string TPictureFolder::FileName(const std::string& name) const { return fs::JoinPath(path_, name); }

bool TPictureFolder::Prepare() const {
  try {
    switch (fs::InspectEntry(path_)) {
      case fs::EntryKind::kDirectory:
        ClearFolder(path_);
        return true;
      case fs::EntryKind::kLink:
        // A linked folder would put the pictures, and the emptying, somewhere else: the
        // link is replaced by a folder of our own, or nothing is written.
        if (!fs::DeleteEntryNoFollow(path_)) {
          Report("The picture folder " + path_ + " is a link; no pictures are written");
          return false;
        }
        break;
      case fs::EntryKind::kMissing:
        break;
      default:
        Report("The picture folder " + path_ + " is not a folder");
        return false;
    }
    if (fs::CreateDir(path_) && fs::InspectEntry(path_) == fs::EntryKind::kDirectory) return true;
    Report("Cannot create the picture folder " + path_);
  } catch (...) {
    Report("Cannot prepare the picture folder " + path_);
  }
  return false;
}

bool TPictureFolder::Save(const std::string& name, const TJpegImage& picture) const {
  const std::string file = FileName(name);
  try {
    // Whatever has the name goes first (a link as the link itself); the file is then
    // made new, so a link that could not be removed refuses the write instead of
    // taking it elsewhere.
    if (fs::InspectEntry(file) != fs::EntryKind::kMissing) fs::DeleteEntryNoFollow(file);
    if (!picture.Empty() && fs::CreateNewFile(file, picture.Data().data(), picture.Data().size())) return true;
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
