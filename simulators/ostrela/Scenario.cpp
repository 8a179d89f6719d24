#include "Scenario.h"

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

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
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
bool ParseStatement(const std::vector<std::string>& w, TScenario& s, std::string& problem) {
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
      if ((w[i][0] == 'x' || w[i][0] == 'X') && w[i].size() > 1) {
        if (!ParseNumber(w[i].substr(1), 1, 1000000, n)) {
          problem = "count must be x1 .. x1000000";
          return false;
        }
        step.Count = static_cast<std::int32_t>(n);
      } else if (!ParsePressKind(w[i], step.Press)) {
        problem = "kind must be good, poor, light or none";
        return false;
      }
    }
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
    while (end < text.size() && text[end] != '\n' && text[end] != ';' && text[end] != '#') ++end;
    const std::string statement = text.substr(pos, end - pos);
    const bool comment = end < text.size() && text[end] == '#';
    const bool newline = end < text.size() && text[end] == '\n';
    const std::vector<std::string> words = SplitWords(statement);
    std::string problem;
    if (!words.empty() && !ParseStatement(words, scenario, problem)) {
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
