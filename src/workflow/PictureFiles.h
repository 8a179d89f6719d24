#pragma once
// The sample-picture files a host can pick up after a dialog: the enrollment control
// writes the pictures of the fingers it enrolled when the dialog is finished, the
// verification control writes the picture of each sample at once. The folder is emptied
// before each group of writes. Nothing in the library reads the files back.
#include <string>

#include "workflow/Fingers.h"

namespace mivex {

// The fixed folder of the picture files.
inline constexpr char kPictureFolder[] = "C:\\FPtemp";
inline constexpr char kDisplayPictureName[] = "Display.jpg";
inline constexpr char kVerifyPictureName[] = "Verify.jpg";

// Empties a folder: files whose attribute bits lie within read-only, hidden, system,
// volume label, directory and archive are deleted, sub-folders are emptied and kept.
// Links (symbolic links, junctions, other reparse points) are removed themselves and
// never followed: neither a linked folder nor a linked file's target is touched. Where
// the platform cannot remove a link without following it, the link stays. Files that
// cannot be deleted stay without a report.
void ClearFolder(const std::string& path);

// The folder the picture files go to. Failures (a folder that cannot be made, a file
// that cannot be written) are reported as a log line and through the result; none of
// these operations throws, so the dialog that writes still finishes.
class TPictureFolder {
 public:
  explicit TPictureFolder(std::string path = kPictureFolder) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  std::string FileName(const std::string& name) const;

  // Before each group of writes: an existing folder is emptied, a missing one created
  // (one level). A link at the folder's place is replaced by a real folder, or, where
  // it cannot be removed alone, nothing is written. False when no real folder exists
  // afterwards.
  bool Prepare() const;
  // Writes the picture's JPEG data as a new file `name` in the folder. An entry of that
  // name is removed first (a link as the link itself); one that cannot be removed
  // refuses the write, so nothing is ever written through a link.
  bool Save(const std::string& name, const TJpegImage& picture) const;

  // Enrollment, at Finish: for fingers 1..10 in order, every finger that is enrolled with
  // an enrollment template, or deleted while named in the host's list, empties the folder
  // and writes its pictures as code_k.jpg; with two or more pictures the second one is
  // also written as code.jpg and "Display.jpg". False when anything could not be written.
  bool WriteEnrollPictures(const TFingers& fingers, const TWasEnrolled& wasEnrolled) const;
  // Verification, for every sample: empties the folder and writes "Verify.jpg".
  bool WriteVerifyPicture(const TJpegImage& picture) const;

 private:
  std::string path_;
};

}  // namespace mivex
