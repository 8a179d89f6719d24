#include "Tool.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>
#include <system_error>

#include "Engine.h"
#include "MinutiaePicture.h"
#include "Search.h"
#include "TemplateInput.h"
#include "VandrelParams.h"
#include "capture/ScoreScale.h"
#include "workflow/Jpeg.h"
#include "workflow/PictureFiles.h"

namespace mivex::tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage:\n"
    "  mivex-tool inspect <string or @file> [--picture[=FOLDER]] [--out DIR] [--json]\n"
    "  mivex-tool match <enrollment string or @file> <verification string or @file> [--far RATE] [--json]\n"
    "  mivex-tool identify <verification string or @file> <gallery folder or CSV file> [--far RATE] [--top N]\n"
    "                      [--threads N] [--json]\n"
    "The picture folder is C:\\FPtemp unless given; --far is 0.001 unless given.\n";


// Gallery files larger than this are refused (a million enrolled fingers fit).
constexpr std::uintmax_t kMaxGalleryBytes = std::uintmax_t{2} << 30;

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number(double v, const char* format = "%g") {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// Options of every command; each command accepts only its own.
struct Options {
  std::vector<std::string> positional;
  bool json = false;
  bool picture = false;
  std::string pictureFolder = kPictureFolder;
  std::string outFolder = ".";
  double rate = 0.001;
  std::size_t top = 10;
  unsigned threads = 0;
};

bool ParsePositiveNumber(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && value > 0 && value <= 1;
}

bool ParseCount(const std::string& text, unsigned long& value, unsigned long most) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::strtoul(text.c_str(), nullptr, 10);
  return value >= 1 && value <= most;
}

// False with a message for an option the command does not take or a bad value.
bool ParseOptions(const std::string& command, const std::vector<std::string>& args, Options& o, std::string& error) {
  const bool inspect = command == "inspect", identify = command == "identify";
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--json") {
      o.json = true;
    } else if (inspect && (a == "--picture" || a.rfind("--picture=", 0) == 0)) {
      o.picture = true;
      if (a.size() > 9) o.pictureFolder = a.substr(10);
      if (o.pictureFolder.empty()) {
        error = "--picture= needs a folder";
        return false;
      }
    } else if (inspect && a == "--out") {
      if (!value(o.outFolder)) return false;
    } else if (!inspect && a == "--far") {
      if (!value(v)) return false;
      if (!ParsePositiveNumber(v, o.rate)) {
        error = "--far takes a rate above 0 and at most 1, not \"" + v + "\"";
        return false;
      }
    } else if (identify && a == "--top") {
      unsigned long n = 0;
      if (!value(v)) return false;
      if (!ParseCount(v, n, 100000)) {
        error = "--top takes a count from 1 to 100000, not \"" + v + "\"";
        return false;
      }
      o.top = n;
    } else if (identify && a == "--threads") {
      unsigned long n = 0;
      if (!value(v)) return false;
      if (!ParseCount(v, n, 1024)) {
        error = "--threads takes a count from 1 to 1024, not \"" + v + "\"";
        return false;
      }
      o.threads = static_cast<unsigned>(n);
    } else if (a.size() > 1 && a.rfind("--", 0) == 0) {
      error = "unknown option " + a + " for " + command;
      return false;
    } else {
      o.positional.push_back(a);
    }
  }
  const std::size_t wanted = inspect ? 1 : 2;
  if (o.positional.size() != wanted) {
    error = command + " takes " + std::to_string(wanted) + (wanted == 1 ? " argument" : " arguments") + ", not " +
            std::to_string(o.positional.size());
    return false;
  }
  return true;
}

bool ReadFile(const fs::path& path, std::uintmax_t most, std::string& text, std::string& error) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    // Devices and pipes are refused too: they could be read without end.
    error = "cannot read " + path.string() + (fs::exists(path, ec) ? ": not a regular file" : ": no such file");
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    error = "cannot read " + path.string() + ": " + ec.message();
    return false;
  }
  if (size > most) {
    error = path.string() + " has " + std::to_string(size) + " bytes; at most " + std::to_string(most) + " are read";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    error = "cannot read " + path.string();
    return false;
  }
  return true;
}

// A record in a buffer as large as the engine's callers hand over, zero past its end,
// so VerifyRecords reads nothing beyond what it owns.
std::vector<std::uint8_t> EngineBuffer(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> buffer(std::max<std::size_t>(bytes.size(), vandrel::params::kRecordBufferSize), 0);
  std::copy(bytes.begin(), bytes.end(), buffer.begin());
  return buffer;
}

// Reads a template argument; on failure prints the message and returns the exit code.
int ReadTemplates(const std::string& arg, const char* what, bool enrollment, Parsed& parsed, std::ostream& err) {
  std::string text, error;
  if (!ArgumentText(arg, text, error)) {
    err << "mivex-tool: " << error << "\n";
    return kExitFile;
  }
  parsed = enrollment ? ParseEnrollment(text) : ParseVerification(text);
  if (!parsed.ok) {
    // Messages about a verification string name it already.
    const std::string& m = parsed.error.message;
    err << "mivex-tool: malformed " << (m.rfind(what, 0) == 0 ? m : std::string(what) + ": " + m) << "\n";
    return kExitMalformed;
  }
  return kExitOk;
}

std::string Sections(const RecordFacts& r) {
  std::string s = std::to_string(r.model.MinutiaeCount) + " minutiae";
  if (r.hasQuality) s += " with quality";
  if (r.flags & kFlagSingularPoints) s += ", singular points";
  if (r.flags & kFlagGrid) s += ", orientation grid";
  if (r.flags & kFlagRelations) s += ", relations to singular points";
  return s;
}

const char* SingularName(int type) {
  switch (type) {
    case 1: return "core";
    case 2: return "delta";
    case 3: return "whorl centre";
    default: return "unspecified";
  }
}

std::string PictureName(const TemplateItem& item) { return item.entry == 0 ? "Verify" : item.code; }

// Draws the item's minutiae over its saved picture; the PNG's path, or "" with a message.
std::string WritePicture(const TemplateItem& item, const Options& o, std::string& error) {
  const fs::path source = fs::path(o.pictureFolder) / (PictureName(item) + ".jpg");
  std::string data;
  if (!ReadFile(source, 64u << 20, data, error)) return "";
  TBitmap bitmap;
  if (!DecompressGrey(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), bitmap)) {
    error = source.string() + " is not a JPEG picture";
    return "";
  }
  const std::vector<std::uint8_t> png = EncodePng(DrawMinutiae(bitmap, item.record.model, 2));
  const std::string suffix = item.entry == 0 ? "" : "-" + std::to_string(item.entry);
  const fs::path target = fs::path(o.outFolder) / (PictureName(item) + suffix + "-minutiae.png");
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  file.close();
  if (!file) {
    error = "cannot write " + target.string();
    return "";
  }
  return target.string();
}

int Inspect(const Options& o, std::ostream& out, std::ostream& err) {
  std::string text, error;
  if (!ArgumentText(o.positional[0], text, error)) {
    err << "mivex-tool: " << error << "\n";
    return kExitFile;
  }
  const Parsed parsed = ParseEither(text);
  if (!parsed.ok) {
    err << "mivex-tool: malformed template string: " << parsed.error.message << "\n";
    return kExitMalformed;
  }
  const bool enrollment = parsed.items.front().entry != 0;
  std::vector<std::string> pictures(parsed.items.size());
  int status = kExitOk;
  if (o.picture)
    for (std::size_t k = 0; k < parsed.items.size(); ++k) {
      pictures[k] = WritePicture(parsed.items[k], o, error);
      if (pictures[k].empty()) {
        err << "mivex-tool: picture of " << (enrollment ? parsed.items[k].code : "the verification template") << ": "
            << error << "\n";
        status = kExitFile;
      }
    }
  if (o.json) {
    out << "{\"kind\":" << Json(enrollment ? "enrollment" : "verification") << ",\"entries\":[";
    for (std::size_t k = 0; k < parsed.items.size(); ++k) {
      const TemplateItem& t = parsed.items[k];
      const RecordFacts& r = t.record;
      out << (k ? "," : "") << "{";
      if (enrollment)
        out << "\"entry\":" << t.entry << ",\"code\":" << Json(t.code) << ",\"finger\":" << Json(FingerName(t.finger))
            << ",\"declared_length\":" << t.declaredLength << ",";
      out << "\"decoded_length\":" << t.bytes.size() << ",\"record_length\":" << r.usedBytes
          << ",\"base64_characters\":" << t.base64Chars << ",\"base64_well_formed\":"
          << (t.lineBreaksRegular ? "true" : "false");
      if (!t.lineBreaksRegular) out << ",\"base64_note\":" << Json(t.lineBreakNote);
      out << ",\"version\":" << int{r.model.Header} << ",\"relations\":" << ((r.flags & kFlagRelations) ? "true" : "false")
          << ",\"minutiae\":" << r.model.MinutiaeCount
          << ",\"endings\":" << r.endings << ",\"bifurcations\":" << r.bifurcations
          << ",\"quality_bytes\":" << (r.hasQuality ? "true" : "false");
      if (r.hasQuality)
        out << ",\"quality\":{\"mean\":" << Number(r.qualityMean, "%.3f") << ",\"min\":" << Number(r.qualityMin, "%.3f")
            << ",\"max\":" << Number(r.qualityMax, "%.3f") << "}";
      out << ",\"singular_points\":[";
      for (int i = 0; i < r.model.SingularCount; ++i)
        out << (i ? "," : "") << "{\"type\":" << Json(SingularName(r.model.Singular[i].Type))
            << ",\"x\":" << r.model.Singular[i].X << ",\"y\":" << r.model.Singular[i].Y << "}";
      out << "],\"orientation_grid\":";
      if (r.model.GridWidth > 0) out << "{\"width\":" << r.model.GridWidth << ",\"height\":" << r.model.GridHeight << "}";
      else out << "null";
      if (o.picture) out << ",\"picture\":" << (pictures[k].empty() ? "null" : Json(pictures[k]));
      out << "}";
    }
    out << "]}\n";
    return status;
  }
  out << (enrollment ? "enrollment string: " : "verification string: ") << parsed.items.size()
      << (parsed.items.size() == 1 ? " template" : " templates") << "\n";
  for (std::size_t k = 0; k < parsed.items.size(); ++k) {
    const TemplateItem& t = parsed.items[k];
    const RecordFacts& r = t.record;
    if (enrollment)
      out << "entry " << t.entry << ": " << t.code << " (" << FingerName(t.finger) << "), declared " << t.declaredLength
          << " bytes, decoded " << t.bytes.size() << " bytes\n";
    else
      out << "template: " << t.bytes.size() << " bytes\n";
    out << "  Base64: " << t.base64Chars << " characters, "
        << (t.lineBreaksRegular ? "well-formed" : "line breaks irregular: " + t.lineBreakNote) << "\n";
    out << "  record: version " << int{r.model.Header} << ", " << r.usedBytes << " bytes; " << Sections(r) << "\n";
    out << "  minutiae: " << r.model.MinutiaeCount << " (" << r.endings << " ridge endings, " << r.bifurcations
        << " bifurcations)";
    if (r.hasQuality)
      out << "; quality mean " << Number(r.qualityMean, "%.2f") << ", min " << Number(r.qualityMin, "%.2f") << ", max "
          << Number(r.qualityMax, "%.2f");
    out << "\n";
    for (int i = 0; i < r.model.SingularCount; ++i)
      out << "  singular point: " << SingularName(r.model.Singular[i].Type) << " at (" << r.model.Singular[i].X << ", "
          << r.model.Singular[i].Y << ")\n";
    if (r.model.GridWidth > 0) out << "  orientation grid: " << r.model.GridWidth << " x " << r.model.GridHeight << " cells\n";
    if (!pictures[k].empty()) out << "  picture: " << pictures[k] << "\n";
  }
  return status;
}

int Match(const Options& o, std::ostream& out, std::ostream& err) {
  Parsed enrolled, probe;
  if (const int s = ReadTemplates(o.positional[0], "enrollment string", true, enrolled, err)) return s;
  if (const int s = ReadTemplates(o.positional[1], "verification string", false, probe, err)) return s;
  const std::int32_t threshold = FARToScore(o.rate);
  const std::vector<std::uint8_t> probeBuffer = EngineBuffer(probe.items[0].bytes);
  struct Row {
    const TemplateItem* item;
    std::int32_t score, paired;
  };
  std::vector<Row> rows;
  for (const TemplateItem& t : enrolled.items) {
    std::int32_t details[5] = {20, 0, 0, 0, 0};
    const std::int32_t result = vandrel::VerifyRecords(EngineBuffer(t.bytes).data(), probeBuffer.data(), details, 0);
    if (result < 0) {
      err << "mivex-tool: the engine refused entry " << t.entry << " (" << t.code << "): result " << result << "\n";
      return result == vandrel::kResultOutOfMemory ? kExitFailed : kExitMalformed;
    }
    rows.push_back({&t, details[1], details[3]});
  }
  const auto best = std::max_element(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.score < b.score; });
  const bool matched = best->score >= threshold;
  if (o.json) {
    out << "{\"far\":" << Number(o.rate) << ",\"threshold\":" << threshold << ",\"fingers\":[";
    for (std::size_t k = 0; k < rows.size(); ++k)
      out << (k ? "," : "") << "{\"entry\":" << rows[k].item->entry << ",\"code\":" << Json(rows[k].item->code)
          << ",\"score\":" << rows[k].score << ",\"far\":" << Number(ScoreToFAR(rows[k].score))
          << ",\"paired_minutiae\":" << rows[k].paired << ",\"match\":" << (rows[k].score >= threshold ? "true" : "false")
          << "}";
    out << "],\"best\":" << Json(best->item->code) << ",\"match\":" << (matched ? "true" : "false") << "}\n";
  } else {
    for (const Row& r : rows) {
      char line[160];
      std::snprintf(line, sizeof line, "%s (entry %d): score %4d, false-acceptance rate %-8g %2d paired minutiae%s\n",
                    r.item->code.c_str(), r.item->entry, r.score, ScoreToFAR(r.score), r.paired,
                    r.score >= threshold ? "  match" : "");
      out << line;
    }
    out << (matched ? "MATCH" : "NO MATCH") << ": best " << best->item->code << " at score " << best->score
        << "; a match needs " << threshold << " (false-acceptance rate " << Number(o.rate) << ")\n";
  }
  return matched ? kExitOk : kExitNoMatch;
}

// One gallery record: whose and which finger.
struct GalleryEntry {
  std::string user;
  std::string code;
};

// Adds the enrollment string's entries to the gallery; false with a message naming `where`.
bool AddUser(const std::string& user, const std::string& text, const std::string& where, vandrel::SearchGallery& gallery,
             std::vector<GalleryEntry>& entries, std::string& error) {
  const Parsed parsed = ParseEnrollment(text);
  if (!parsed.ok) {
    error = where + ": " + parsed.error.message;
    return false;
  }
  for (const TemplateItem& t : parsed.items) {
    if (!gallery.Add(t.bytes.data(), t.bytes.size())) {
      error = where + ": entry " + std::to_string(t.entry) + " is no record the engine reads";
      return false;
    }
    entries.push_back({user, t.code});
  }
  return true;
}

// A CSV of user_id,enrollment string lines. Fields may be quoted ("" for a quote inside),
// which an enrollment string with its CR LF line breaks needs.
bool ReadCsvGallery(const std::string& text, const std::string& name, vandrel::SearchGallery& gallery,
                    std::vector<GalleryEntry>& entries, std::string& error) {
  // A spreadsheet's UTF-8 byte order mark before the first line is no part of it.
  std::size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  int line = 1, record = 0;
  while (at < text.size()) {
    const int recordLine = line;
    ++record;
    std::vector<std::string> fields(1);
    bool quoted = false, done = false;
    while (at < text.size() && !done) {
      const char c = text[at++];
      if (quoted) {
        if (c == '"' && at < text.size() && text[at] == '"') {
          fields.back() += '"';
          ++at;
        } else if (c == '"') {
          quoted = false;
        } else {
          if (c == '\n') ++line;
          fields.back() += c;
        }
      } else if (c == '"' && fields.back().empty()) {
        quoted = true;
      } else if (c == ',') {
        fields.emplace_back();
      } else if (c == '\n') {
        ++line;
        done = true;
      } else if (c != '\r' || at >= text.size() || text[at] != '\n') {
        fields.back() += c;
      }
    }
    // Lines as an editor counts them: a quoted string's own line breaks count too.
    const std::string where = name + " line " + std::to_string(recordLine) + " (record " + std::to_string(record) + ")";
    if (quoted) {
      error = where + ": a quoted field is not closed";
      return false;
    }
    if (fields.size() == 1 && fields[0].empty()) {  // an empty line
      --record;
      continue;
    }
    if (fields.size() != 2) {
      error = where + ": " + std::to_string(fields.size()) + " fields; a line is user_id,enrollment string";
      return false;
    }
    if (recordLine == 1 && fields[0] == "user_id") continue;  // a header line
    if (fields[0].empty()) {
      error = where + ": the user id is empty";
      return false;
    }
    if (!AddUser(fields[0], fields[1], where, gallery, entries, error)) return false;
  }
  return true;
}

// A folder of files, one enrollment string each; the user id is the file's name
// without its extension. Files are read in name order.
bool ReadFolderGallery(const fs::path& folder, vandrel::SearchGallery& gallery, std::vector<GalleryEntry>& entries,
                       std::string& error) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) files.push_back(it->path());
  if (ec) {
    error = "cannot list " + folder.string() + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::string text;
    if (!ArgumentText("@" + file.string(), text, error)) return false;
    if (!AddUser(file.stem().string(), text, file.string(), gallery, entries, error)) return false;
  }
  return true;
}

int Identify(const Options& o, std::ostream& out, std::ostream& err) {
  Parsed probe;
  if (const int s = ReadTemplates(o.positional[0], "verification string", false, probe, err)) return s;
  vandrel::SearchGallery gallery;
  std::vector<GalleryEntry> entries;
  std::string error;
  const fs::path source(o.positional[1]);
  std::error_code ec;
  const auto loadStart = std::chrono::steady_clock::now();
  if (fs::is_directory(source, ec)) {
    if (!ReadFolderGallery(source, gallery, entries, error)) {
      err << "mivex-tool: gallery " << error << "\n";
      return error.rfind("cannot", 0) == 0 ? kExitFile : kExitMalformed;
    }
  } else {
    std::string text;
    if (!ReadFile(source, kMaxGalleryBytes, text, error)) {
      err << "mivex-tool: gallery: " << error << "\n";
      return kExitFile;
    }
    if (!ReadCsvGallery(text, source.string(), gallery, entries, error)) {
      err << "mivex-tool: gallery " << error << "\n";
      return kExitMalformed;
    }
  }
  if (gallery.Size() == 0) {
    err << "mivex-tool: the gallery " << source.string() << " holds no enrolled finger\n";
    return kExitMalformed;
  }
  const double loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
  vandrel::MatchTemplate prepared;
  vandrel::PrepareRecord(probe.items[0].bytes.data(), probe.items[0].bytes.size(), prepared);
  vandrel::SearchOptions options;
  options.maxHits = o.top;
  options.threads = o.threads;
  const auto start = std::chrono::steady_clock::now();
  const vandrel::SearchOutcome found = vandrel::Search(prepared, gallery, options);
  const double seconds = std::max(1e-9, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  const double rate = static_cast<double>(found.comparisons) / seconds;
  const std::int32_t threshold = FARToScore(o.rate);
  const bool matched = !found.hits.empty() && found.hits.front().score >= threshold;
  if (o.json) {
    out << "{\"far\":" << Number(o.rate) << ",\"threshold\":" << threshold << ",\"gallery_templates\":" << gallery.Size()
        << ",\"comparisons\":" << found.comparisons << ",\"threads\":" << found.threads
        << ",\"seconds\":" << Number(seconds, "%.6f") << ",\"comparisons_per_second\":" << Number(rate, "%.0f")
        << ",\"candidates\":[";
    for (std::size_t k = 0; k < found.hits.size(); ++k) {
      const vandrel::SearchHit& h = found.hits[k];
      out << (k ? "," : "") << "{\"rank\":" << k + 1 << ",\"user_id\":" << Json(entries[h.index].user)
          << ",\"code\":" << Json(entries[h.index].code) << ",\"score\":" << h.score
          << ",\"far\":" << Number(ScoreToFAR(h.score)) << ",\"match\":" << (h.score >= threshold ? "true" : "false")
          << "}";
    }
    out << "],\"match\":" << (matched ? "true" : "false") << "}\n";
  } else {
    out << "gallery: " << gallery.Size() << " enrolled fingers of " << source.string() << " (read and prepared in "
        << Number(loadSeconds, "%.2f") << " s)\n";
    out << "rank  user id              finger  score  false-acceptance rate\n";
    for (std::size_t k = 0; k < found.hits.size(); ++k) {
      const vandrel::SearchHit& h = found.hits[k];
      char line[200];
      std::snprintf(line, sizeof line, "%4zu  %-20s %-6s  %5d  %g%s\n", k + 1, entries[h.index].user.c_str(),
                    entries[h.index].code.c_str(), h.score, ScoreToFAR(h.score), h.score >= threshold ? "  match" : "");
      out << line;
    }
    out << (matched ? "MATCH" : "NO MATCH") << " at false-acceptance rate " << Number(o.rate) << " (score " << threshold
        << ")\n";
    out << found.comparisons << " comparisons in " << Number(seconds * 1000, "%.1f") << " ms on " << found.threads
        << (found.threads == 1 ? " thread: " : " threads: ") << Number(rate, "%.0f") << " comparisons/s ("
        << Number(rate / found.threads, "%.0f") << " per thread)\n";
  }
  return matched ? kExitOk : kExitNoMatch;
}

}  // namespace

bool ArgumentText(const std::string& arg, std::string& text, std::string& error) {
  if (arg.empty() || arg[0] != '@') {
    text = arg;
    return true;
  }
  if (!ReadFile(arg.substr(1), kMaxInputChars + 2, text, error)) return false;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return true;
}

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? kExitUsage : kExitOk;
  }
  const std::string& command = args[0];
  if (command != "inspect" && command != "match" && command != "identify") {
    err << "mivex-tool: unknown command \"" << command << "\"\n" << kUsage;
    return kExitUsage;
  }
  Options o;
  std::string error;
  if (!ParseOptions(command, args, o, error)) {
    err << "mivex-tool: " << error << "\n" << kUsage;
    return kExitUsage;
  }
  try {
    if (command == "inspect") return Inspect(o, out, err);
    if (vandrel::EngineInitialize() != vandrel::kResultOk) {
      err << "mivex-tool: the feature engine did not start\n";
      return kExitFailed;
    }
    return command == "match" ? Match(o, out, err) : Identify(o, out, err);
  } catch (const std::bad_alloc&) {
    err << "mivex-tool: out of memory\n";
    return kExitFailed;
  }
}

}  // namespace mivex::tool
