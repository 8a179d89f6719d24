#include "ui/LabelLayout.h"

namespace mivex {

namespace {

struct Pass {
  std::vector<PlacedText> texts;
  int bottom = 0;  // y + h + r after the last byte
};

// One layout pass over `text` (every paragraph followed by CR LF) at the measure's
// current font size. Byte positions are 0-based here; the scan stops before the last
// byte, which is the LF of the final line end and is only consumed with its CR.
Pass RunPass(const std::string& text, const LabelSettings& st, int r, int s, int f, TextMeasure& m) {
  Pass pass;
  const int w_max = st.width;
  const size_t n = text.size();
  const int h = m.TextHeight(" ");
  int x = f, y = r;
  std::string word;

  auto draw = [&] {
    if (!word.empty()) pass.texts.push_back(PlacedText{x, y, word});
  };
  auto next_row = [&] {
    x = 0;
    y += h + r;
  };
  auto place = [&] {
    draw();
    const int ww = m.TextWidth(word);
    if (ww + x > w_max)
      next_row();
    else
      x += ww;
    word.clear();
  };
  // A row break that would leave nothing placed (empty word at the row start) would
  // repeat for ever when one character is wider than the label: the character is then
  // taken on its own row instead.
  auto break_makes_progress = [&] { return !(word.empty() && x == 0); };

  size_t i = 0;
  while (i + 1 < n) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (m.IsLeadByte(b)) {
      const std::string c = text.substr(i, 2);
      if (m.TextWidth(word + c) + x > w_max && break_makes_progress()) {
        draw();
        next_row();
        word.clear();
        continue;
      }
      word += c;
      i += 2;
    } else if (b == '\r' && text[i + 1] == '\n') {
      if (!word.empty()) place();
      x += m.TextWidth(" ");
      if (st.want_return && i + 2 < n) {  // not the final line end
        x = f;
        y += h + r + s;
      } else if (x > w_max) {
        x = f;
        y += h + r;
      }
      i += 2;
    } else if (b == ' ') {
      if (m.TextWidth(word + " ") + x > w_max && break_makes_progress()) {
        draw();
        next_row();
        word.clear();
        continue;
      }
      word += ' ';
      place();
      i += 1;
    } else {
      const char c = static_cast<char>(b);
      if (m.TextWidth(word + c) + x <= w_max) {
        word += c;
        i += 1;
      } else if (!word.empty() && m.TextWidth(word) >= w_max) {
        // A word longer than the row: what fits is drawn, the rest goes on below.
        draw();
        next_row();
        word.clear();
      } else {
        word += c;
        if (x > 0) next_row();
        place();
        i += 1;
      }
    }
  }
  pass.bottom = y + h + r;
  return pass;
}

}  // namespace

LabelLayout LayOutLabel(const std::vector<std::string>& lines, const LabelSettings& settings, TextMeasure& measure) {
  LabelLayout out;
  out.font_size = settings.font_size;
  out.row_space = settings.row_space;
  out.section_size = settings.section_size;
  out.forward_size = settings.forward_size;

  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  if (text.empty()) return out;

  int size = settings.font_size;
  int r = settings.row_space, s = settings.section_size, f = settings.forward_size;
  for (;;) {
    measure.SetFontSize(size);
    Pass pass = RunPass(text, settings, r, s, f, measure);
    ++out.passes;
    out.font_size = size;
    out.row_space = r;
    out.section_size = s;
    out.forward_size = f;
    out.fits = settings.height >= pass.bottom;
    out.texts = std::move(pass.texts);
    if (!settings.want_fit || out.fits) break;
    if (size > kLabelMinFitSize) {
      size -= 1;
      // floor(v * 0.9) for the non-negative spacings
      r = r * 9 / 10;
      s = s * 9 / 10;
      f = f * 9 / 10;
    } else if (size == kLabelMinFitSize && (r > 0 || s > 0)) {
      if (r > 0) r -= 1;
      if (s > 0) s -= 1;
    } else {
      break;
    }
  }
  return out;
}

}  // namespace mivex
