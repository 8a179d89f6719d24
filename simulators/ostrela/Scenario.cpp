#include "Scenario.h"

#include <algorithm>
#include <cctype>
#include <type_traits>

namespace mivex::ostrela {
namespace {

constexpr std::int64_t kMaxNumber = 2147483647;

bool ParseNumber(const std::string& word, std::int64_t lo, std::int64_t hi, std::int64_t& value) {
  if (word.empty() || word.size() > 10) return false;
  std::int64_t v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  value = v;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Words separated by blanks; a double-quoted run is one word (without its quotes).
std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, started = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      started = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
      if (started) words.push_back(word);
      word.clear();
      started = false;
    } else {
      word += c;
      started = true;
    }
  }
  if (started) words.push_back(word);
  return words;
}

bool ParseCount(const std::string& word, std::int32_t& count, std::string& problem) {
  std::int64_t n = 0;
  if (word.size() < 2 || (word[0] != 'x' && word[0] != 'X') || !ParseNumber(word.substr(1), 1, 1000000, n)) {
    problem = "count must be x1 .. x1000000";
    return false;
  }
  count = static_cast<std::int32_t>(n);
  return true;
}

bool ParsePressKind(const std::string& word, TPressKind& kind) {
  const std::string w = Lower(word);
  if (w == "good") kind = TPressKind::pkGood;
  else if (w == "poor") kind = TPressKind::pkPoor;
  else if (w == "light") kind = TPressKind::pkLight;
  else if (w == "none") kind = TPressKind::pkNone;
  else return false;
  return true;
}

// Parses one step or setting; false with `problem` set when it is malformed.
bool ParseStatement(const std::vector<std::string>& w, std::int32_t line, TScenario& s, std::string& problem) {
  const std::string verb = Lower(w[0]);
  std::int64_t n = 0;
  const auto setting = [&](std::int64_t lo, std::int64_t hi, auto& field) {
    if (w.size() != 2 || !ParseNumber(w[1], lo, hi, n)) {
      problem = verb + " needs one number from " + std::to_string(lo) + " to " + std::to_string(hi);
      return false;
    }
    field = static_cast<std::remove_reference_t<decltype(field)>>(n);
    return true;
  };
  if (verb == "frame-ms") return setting(1, 1000, s.FrameMs);
  if (verb == "frames") return setting(1, 100, s.FramesPerPress);
  if (verb == "gap") return setting(0, 1000, s.GapPolls);
  if (verb == "seed") return setting(0, kMaxNumber, s.Seed);
  if (s.Repeat) {
    problem = "repeat must be the last step";
    return false;
  }
  TScenarioStep step;
  step.Line = line;
  if (verb == "press") {
    if (w.size() < 3 || w.size() > 5) {
      problem = "press needs a subject and a finger, then optionally a kind and x<count>";
      return false;
    }
    if (!ParseNumber(w[1], 0, kMaxNumber, n)) {
      problem = "subject must be a number from 0 to 2147483647";
      return false;
    }
    step.Subject = static_cast<std::uint32_t>(n);
    step.Finger = ParseFinger(w[2]);
    if (step.Finger == 0) {
      problem = "finger must be 1..10 or L1..L5, R1..R5";
      return false;
    }
    for (std::size_t i = 3; i < w.size(); ++i) {
      if (!w[i].empty() && (w[i][0] == 'x' || w[i][0] == 'X') && w[i].size() > 1) {
        if (!ParseCount(w[i], step.Count, problem)) return false;
      } else if (!ParsePressKind(w[i], step.Press)) {
        problem = "kind must be good, poor, light or none";
        return false;
      }
    }
  } else if (verb == "image") {
    step.Kind = TStepKind::skImage;
    if (w.size() < 2 || w.size() > 3 || w[1].empty()) {
      problem = "image needs a file, then optionally x<count>";
      return false;
    }
    step.Path = w[1];
    if (w.size() == 3 && !ParseCount(w[2], step.Count, problem)) return false;
  } else if (verb == "images") {
    step.Kind = TStepKind::skImage;
    step.Folder = true;
    if (w.size() != 3 || w[1].empty() || w[2].empty()) {
      problem = "images needs a folder and a pattern of file names";
      return false;
    }
    if (w[2].find_first_of("/\\") != std::string::npos) {
      problem = "the pattern of images names files in the folder, without '/' or '\\'";
      return false;
    }
    step.Path = w[1];
    step.Pattern = w[2];
    step.Count = 0;  // one press per file, known once the folder is read
  } else if (verb == "none" || verb == "unplug") {
    step.Kind = verb == "none" ? TStepKind::skNone : TStepKind::skUnplug;
    step.Count = kForever;
    if (w.size() > 2 || (w.size() == 2 && !ParseNumber(w[1], 1, kMaxNumber, n))) {
      problem = verb + " takes at most one count from 1 to 2147483647";
      return false;
    }
    if (w.size() == 2) step.Count = static_cast<std::int32_t>(n);
  } else if (verb == "repeat") {
    if (w.size() != 1) {
      problem = "repeat takes no arguments";
      return false;
    }
    s.Repeat = true;
    return true;
  } else {
    problem = "unknown step '" + w[0] + "'";
    return false;
  }
  s.Steps.push_back(step);
  return true;
}

}  // namespace

std::int32_t ParseFinger(const std::string& word) {
  std::int64_t n = 0;
  if (ParseNumber(word, 1, 10, n)) return static_cast<std::int32_t>(n);
  if (word.size() != 2 || word[1] < '1' || word[1] > '5') return 0;
  const char hand = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
  if (hand == 'L') return word[1] - '0';
  if (hand == 'R') return 5 + (word[1] - '0');
  return 0;
}

bool ParseScenario(const std::string& text, TScenario& scenario, std::string& error) {
  scenario = TScenario{};
  std::int32_t lineNo = 1;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = pos;
    bool quoted = false;
    while (end < text.size() && text[end] != '\n' && (quoted || (text[end] != ';' && text[end] != '#'))) {
      if (text[end] == '"') quoted = !quoted;
      ++end;
    }
    const std::string statement = text.substr(pos, end - pos);
    const bool comment = end < text.size() && text[end] == '#';
    const bool newline = end < text.size() && text[end] == '\n';
    const std::vector<std::string> words = SplitWords(statement);
    std::string problem;
    if (std::count(statement.begin(), statement.end(), '"') % 2 != 0) {
      error = "line " + std::to_string(lineNo) + ": a double quote is not closed";
      return false;
    }
    if (!words.empty() && !ParseStatement(words, lineNo, scenario, problem)) {
      error = "line " + std::to_string(lineNo) + ": " + problem;
      return false;
    }
    if (comment) {
      while (end < text.size() && text[end] != '\n') ++end;
      if (end < text.size()) ++lineNo;
    } else if (newline) {
      ++lineNo;
    }
    pos = end + 1;
  }
  if (scenario.Steps.empty()) {
    if (scenario.Repeat) {
      error = "repeat needs a step before it";
      return false;
    }
    TScenarioStep press;
    press.Subject = kDefaultSubject;
    press.Finger = kDefaultFinger;
    scenario.Steps.push_back(press);
    scenario.Repeat = true;
  }
  return true;
}

}  // namespace mivex::ostrela
