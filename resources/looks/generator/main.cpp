// Draws the pictures and sounds of the fashion dialogs and writes them, with the
// resource script that names them, into one folder:
//   mivex_looks_gen <folder>
// The output depends on nothing but this program, so every build makes the same files.
#include <cstdio>
#include <string>

#include "Indexed.h"
#include "LookArt.h"

namespace fashion = mivex::fashion;

namespace {

bool Save(const std::string& dir, const std::string& name, const looks::IndexedImage& image, int bits,
          std::string& script, const std::string& id) {
  if (!looks::WriteBmp(dir + "/" + name, image, bits)) return false;
  script += id + " BITMAP \"" + name + "\"\n";
  return true;
}

bool SaveWave(const std::string& dir, const std::string& name, int rate, const std::vector<std::uint8_t>& samples,
              std::string& script, const std::string& id) {
  if (!looks::WriteWav(dir + "/" + name, rate, samples)) return false;
  if (!id.empty()) script += id + " WAVE \"" + name + "\"\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const looks::Colour white{255, 255, 255};
  std::string script = "// Pictures and sounds of the fashion dialogs, made by mivex_looks_gen.\n";
  bool ok = true;

  const looks::IndexedImage background =
      looks::Quantize(looks::Background(), 256, {white, looks::kFingerGrey, looks::kNailGrey});
  ok &= Save(dir, "bmp101.bmp", background, 8, script, "101");
  ok &= Save(dir, "bmp199.bmp", looks::Crop(background, looks::kTitleBandHeight, 300), 8, script, "199");
  ok &= Save(dir, "bmp200.bmp", looks::Crop(background, looks::kTitleBandHeight, 230), 8, script, "200");

  const fashion::StepState states[] = {fashion::StepState::Pending, fashion::StepState::Current,
                                       fashion::StepState::Done, fashion::StepState::Failed};
  for (fashion::StepState state : states)
    for (int n = 1; n <= 8; ++n) {
      const int id = fashion::StepPicture(state, n);
      ok &= Save(dir, "bmp" + std::to_string(id) + ".bmp", looks::Quantize(looks::DrawStepPicture(state, n), 256, {white}),
                 8, script, std::to_string(id));
    }
  for (int k = 1; k <= 10; ++k) {
    const int id = fashion::kFingers[k - 1].mask_id;
    ok &= Save(dir, "bmp" + std::to_string(id) + ".bmp", looks::Quantize(looks::FingerMask(k), 256, {white}), 8,
               script, std::to_string(id));
  }
  ok &= Save(dir, "bbok.bmp", looks::GlyphPair(true), 4, script, fashion::kFinishGlyphs);
  ok &= Save(dir, "bbcancel.bmp", looks::GlyphPair(false), 4, script, fashion::kCancelGlyphs);

  ok &= SaveWave(dir, "snd129.wav", 11025, looks::HoverSound(), script, std::to_string(fashion::kHoverSound));
  ok &= SaveWave(dir, "snd301.wav", 22050, looks::PressSound(), script, std::to_string(fashion::kPressSound));
  ok &= SaveWave(dir, "snd302.wav", 22050, looks::ReleaseSound(), script, std::to_string(fashion::kReleaseSound));
  ok &= SaveWave(dir, "ding.wav", 22050, looks::DingSound(), script, "");

  std::FILE* rc = std::fopen((dir + "/Looks.rc").c_str(), "wb");
  ok &= rc != nullptr && std::fwrite(script.data(), 1, script.size(), rc) == script.size();
  if (rc) ok &= std::fclose(rc) == 0;
  if (!ok) {
    std::fprintf(stderr, "mivex_looks_gen: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
