// mivex-tool and the engine's one-to-many search, on templates from the simulated
// sensor: eight people enrol their right forefinger from three presses, person 3
// presses it again to be identified.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "Engine.h"
#include "Impression.h"
#include "MasterPrint.h"
#include "PressModel.h"
#include "Search.h"
#include "TemplateInput.h"
#include "Tool.h"
#include "VandrelParams.h"
#include "capture/FeatureCodec.h"
#include "capture/ScoreScale.h"
#include "workflow/Fingers.h"
#include "workflow/Jpeg.h"

namespace mivex::tool {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPeople = 8;
constexpr int kProbePerson = 3;
constexpr int kFinger = 7;  // R2
constexpr std::uint32_t kSubjectBase = 2500;

// A press's settled frame as the engine extracts it, repacked as the library stores it.
Bytes Press(const ostrela::TMasterPrint& master, std::uint32_t subject, int press) {
  const std::uint64_t seed = ostrela::PressSeed(25, press, subject, kFinger);
  std::vector<std::uint8_t> image;
  ostrela::RenderImpression(master, ostrela::FrameOfPress(ostrela::DrawPlacement(seed, ostrela::TPressKind::pkGood), 4, seed),
                            image);
  Bytes record(vandrel::params::kRecordBufferSize);
  std::int32_t length = 0;
  if (vandrel::ExtractRecord(256, 288, image.data(), 500, record.data(), &length, 0) < 0) return {};
  std::int32_t minutiae = 0;
  length = RepackFeatures(record.data(), static_cast<std::size_t>(length), record.size(), minutiae);
  if (length < 0) return {};
  record.resize(static_cast<std::size_t>(length));
  return record;
}

struct Person {
  std::string enrollment;  // the enrollment string with one R2 entry
  Bytes enrolled;
};

struct Population {
  std::vector<Person> people;
  std::string probe;  // person 3's verification string
  Bytes probeRecord;
};

const Population& People() {
  static const Population population = [] {
    Population p;
    vandrel::EngineInitialize();
    const ostrela::TGaborBank bank;
    for (int person = 1; person <= kPeople; ++person) {
      const std::uint32_t subject = kSubjectBase + static_cast<std::uint32_t>(person);
      const ostrela::TMasterPrint master = ostrela::GenerateMaster(bank, subject, kFinger);
      Person who;
      // Three presses that the engine generalizes; later presses stand in for refused ones.
      for (int first = 0; first < 9 && who.enrolled.empty(); first += 3) {
        const Bytes a = Press(master, subject, first), b = Press(master, subject, first + 1),
                    c = Press(master, subject, first + 2);
        if (a.empty() || b.empty() || c.empty()) continue;
        Bytes pa = a, pb = b, pc = c;
        for (Bytes* r : {&pa, &pb, &pc}) r->resize(vandrel::params::kRecordBufferSize);
        const std::uint8_t* samples[3] = {pa.data(), pb.data(), pc.data()};
        Bytes out(vandrel::params::kRecordBufferSize);
        std::int32_t length = 0;
        if (vandrel::GeneralizeRecords(3, samples, out.data(), &length, 0) != 0) continue;
        out.resize(static_cast<std::size_t>(length));
        who.enrolled = out;
      }
      AppendEnrollEntry(who.enrollment, kFinger, who.enrolled.data(), static_cast<std::int32_t>(who.enrolled.size()));
      if (person == kProbePerson) {
        p.probeRecord = Press(master, subject, 20);
        p.probe = VerifyTemplateText(p.probeRecord.data(), static_cast<std::int32_t>(p.probeRecord.size()));
      }
      p.people.push_back(std::move(who));
    }
    return p;
  }();
  return population;
}

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun Tool(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunTool(args, out, err);
  return {code, out.str(), err.str()};
}

// This test program's own scratch folders, removed at the end unless
// MIVEX_KEEP_TEST_FILES is set (the guide's examples use the strings left there).
fs::path ScratchRoot() { return fs::temp_directory_path() / ("mivex-tool-test-" + std::to_string(::getpid())); }

fs::path Scratch(const std::string& name) {
  const fs::path dir = ScratchRoot() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

class ScratchCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    if (std::getenv("MIVEX_KEEP_TEST_FILES") == nullptr) fs::remove_all(ScratchRoot());
  }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::int32_t VerifyScore(const Bytes& enrolled, const Bytes& probe) {
  Bytes a = enrolled, b = probe;
  a.resize(vandrel::params::kRecordBufferSize);
  b.resize(vandrel::params::kRecordBufferSize);
  std::int32_t details[5] = {20, 0, 0, 0, 0};
  EXPECT_GE(vandrel::VerifyRecords(a.data(), b.data(), details, 0), 0);
  return details[1];
}

TEST(SearchTest, ScoresAreVerifyScoresRankedOnAnyNumberOfThreads) {
  const Population& p = People();
  ASSERT_EQ(p.people.size(), static_cast<std::size_t>(kPeople));
  vandrel::SearchGallery gallery;
  // Every record several times over, so each thread gets blocks of its own.
  for (int copy = 0; copy < 40; ++copy)
    for (const Person& who : p.people) ASSERT_TRUE(gallery.Add(who.enrolled.data(), who.enrolled.size()));
  vandrel::MatchTemplate probe;
  ASSERT_TRUE(vandrel::PrepareRecord(p.probeRecord.data(), p.probeRecord.size(), probe));
  vandrel::SearchOptions all;
  all.maxHits = gallery.Size();
  std::vector<std::vector<vandrel::SearchHit>> runs;
  for (unsigned threads : {1u, 2u, 3u}) {
    all.threads = threads;
    const vandrel::SearchOutcome found = vandrel::Search(probe, gallery, all);
    EXPECT_EQ(found.comparisons, gallery.Size());
    ASSERT_EQ(found.hits.size(), gallery.Size());
    runs.push_back(found.hits);
  }
  EXPECT_EQ(runs[0].size(), runs[1].size());
  for (std::size_t k = 0; k < runs[0].size(); ++k) {
    EXPECT_EQ(runs[0][k].index, runs[1][k].index);
    EXPECT_EQ(runs[0][k].index, runs[2][k].index);
    EXPECT_EQ(runs[0][k].score, runs[2][k].score);
  }
  for (std::size_t k = 0; k < runs[0].size(); ++k) {
    const vandrel::SearchHit& h = runs[0][k];
    EXPECT_EQ(h.score, VerifyScore(p.people[h.index % kPeople].enrolled, p.probeRecord)) << "gallery record " << h.index;
    if (k > 0) {
      const vandrel::SearchHit& before = runs[0][k - 1];
      EXPECT_TRUE(before.score > h.score || (before.score == h.score && before.index < h.index));
    }
  }
  // The genuine copies rank first.
  for (std::size_t k = 0; k < 40; ++k) EXPECT_EQ(runs[0][k].index % kPeople, static_cast<std::size_t>(kProbePerson - 1));
}

TEST(SearchTest, ListsOnlyTheBestAboveTheMinimum) {
  const Population& p = People();
  vandrel::SearchGallery gallery;
  for (const Person& who : p.people) gallery.Add(who.enrolled.data(), who.enrolled.size());
  vandrel::MatchTemplate probe;
  vandrel::PrepareRecord(p.probeRecord.data(), p.probeRecord.size(), probe);
  vandrel::SearchOptions options;
  options.minScore = FARToScore(0.001);
  const vandrel::SearchOutcome found = vandrel::Search(probe, gallery, options);
  ASSERT_EQ(found.hits.size(), 1u);
  EXPECT_EQ(found.hits[0].index, static_cast<std::size_t>(kProbePerson - 1));
  options.minScore = 0;
  options.maxHits = 3;
  EXPECT_EQ(vandrel::Search(probe, gallery, options).hits.size(), 3u);
  vandrel::SearchGallery empty;
  EXPECT_TRUE(vandrel::Search(probe, empty, options).hits.empty());
  EXPECT_FALSE(empty.Add(nullptr, 0));
  const std::uint8_t garbage[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(empty.Add(garbage, sizeof garbage));
}

TEST(ToolTest, IdentifyRanksTheGenuineFingerFirstAndImpostorsBelowTheThreshold) {
  const Population& p = People();
  const fs::path dir = Scratch("identify");
  std::string csv = "user_id,enrollment\r\n";
  for (int person = 1; person <= kPeople; ++person)
    csv += "user" + std::to_string(person) + ",\"" + p.people[static_cast<std::size_t>(person - 1)].enrollment + "\"\r\n";
  WriteText(dir / "gallery.csv", csv);
  WriteText(dir / "probe.txt", p.probe);
  const ToolRun csvRun = Tool({"identify", "@" + (dir / "probe.txt").string(), (dir / "gallery.csv").string(), "--json"});
  ASSERT_EQ(csvRun.code, kExitOk) << csvRun.err;
  EXPECT_NE(csvRun.out.find("{\"rank\":1,\"user_id\":\"user3\",\"code\":\"R2\""), std::string::npos) << csvRun.out;
  EXPECT_EQ(csvRun.out.find("\"rank\":2,\"user_id\":\"user3\""), std::string::npos);
  // One match only: every impostor scores below the threshold.
  std::size_t matches = 0;
  for (std::size_t at = 0; (at = csvRun.out.find("\"match\":true", at)) != std::string::npos; ++at) ++matches;
  EXPECT_EQ(matches, 2u) << csvRun.out;  // the candidate's and the overall decision

  // The same gallery as a folder of one file per user, in text.
  const fs::path folder = dir / "users";
  fs::create_directories(folder);
  for (int person = 1; person <= kPeople; ++person)
    WriteText(folder / ("user" + std::to_string(person) + ".txt"), p.people[static_cast<std::size_t>(person - 1)].enrollment);
  const ToolRun folderRun = Tool({"identify", p.probe, folder.string(), "--top", "2"});
  ASSERT_EQ(folderRun.code, kExitOk) << folderRun.err;
  EXPECT_NE(folderRun.out.find("   1  user3"), std::string::npos) << folderRun.out;
  EXPECT_NE(folderRun.out.find("MATCH at false-acceptance rate 0.001"), std::string::npos);
  EXPECT_NE(folderRun.out.find("comparisons/s"), std::string::npos);

  // An impostor's probe matches nobody but the impostor himself, who is left out.
  std::string others = "user_id,enrollment\n";
  for (int person = 1; person <= kPeople; ++person)
    if (person != kProbePerson)
      others += "u" + std::to_string(person) + ",\"" + p.people[static_cast<std::size_t>(person - 1)].enrollment + "\"\n";
  WriteText(dir / "others.csv", others);
  const ToolRun impostor = Tool({"identify", p.probe, (dir / "others.csv").string()});
  EXPECT_EQ(impostor.code, kExitNoMatch) << impostor.out << impostor.err;
  EXPECT_NE(impostor.out.find("NO MATCH"), std::string::npos);
}

TEST(ToolTest, MatchGivesTheEngineScoresPerFinger) {
  const Population& p = People();
  // Two entries: person 1's finger, then person 3's.
  const std::string enrollment = p.people[0].enrollment + p.people[kProbePerson - 1].enrollment;
  const ToolRun run = Tool({"match", enrollment, p.probe, "--json"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const std::int32_t impostor = VerifyScore(p.people[0].enrolled, p.probeRecord);
  const std::int32_t genuine = VerifyScore(p.people[kProbePerson - 1].enrolled, p.probeRecord);
  EXPECT_NE(run.out.find("{\"entry\":1,\"code\":\"R2\",\"score\":" + std::to_string(impostor) + ","), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("{\"entry\":2,\"code\":\"R2\",\"score\":" + std::to_string(genuine) + ","), std::string::npos)
      << run.out;
  EXPECT_LT(impostor, FARToScore(0.001));
  EXPECT_GE(genuine, FARToScore(0.001));

  // An impostor's finger alone.
  const ToolRun strict = Tool({"match", p.people[0].enrollment, p.probe});
  EXPECT_EQ(strict.code, kExitNoMatch);
  EXPECT_NE(strict.out.find("NO MATCH: best R2 at score " + std::to_string(impostor)), std::string::npos) << strict.out;
}

TEST(ToolTest, InspectReportsEntriesAndDrawsThePicture) {
  const Population& p = People();
  const Bytes& record = p.people[0].enrolled;
  FeatureModel model;
  ASSERT_GT(DecodeFeatures(record.data(), record.size(), model), 0);
  const ToolRun run = Tool({"inspect", p.people[0].enrollment + p.people[1].enrollment, "--json"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_NE(run.out.find("\"kind\":\"enrollment\",\"entries\":[{\"entry\":1,\"code\":\"R2\",\"finger\":\"Right "
                         "Forefinger\",\"declared_length\":" +
                         std::to_string(record.size()) + ",\"decoded_length\":" + std::to_string(record.size())),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"minutiae\":" + std::to_string(model.MinutiaeCount) + ","), std::string::npos);
  EXPECT_NE(run.out.find("{\"entry\":2,"), std::string::npos);
  EXPECT_NE(run.out.find("\"base64_well_formed\":true"), std::string::npos);

  // The picture: the verification sample's JPEG in the folder, a PNG twice its size out.
  const fs::path dir = Scratch("picture");
  TBitmap sample(256, 288);
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(CompressGrey(sample, 50, jpeg));
  std::ofstream(dir / "Verify.jpg", std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                            static_cast<std::streamsize>(jpeg.size()));
  const ToolRun drawn = Tool({"inspect", p.probe, "--picture=" + dir.string(), "--out", dir.string()});
  ASSERT_EQ(drawn.code, kExitOk) << drawn.err;
  std::ifstream png(dir / "Verify-minutiae.png", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(png)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(static_cast<unsigned char>(bytes[18]) * 256 + static_cast<unsigned char>(bytes[19]), 512);  // width
  EXPECT_EQ(static_cast<unsigned char>(bytes[22]) * 256 + static_cast<unsigned char>(bytes[23]), 576);  // height
  // Without the picture the text says which file is missing.
  const ToolRun missing = Tool({"inspect", p.people[0].enrollment, "--picture=" + dir.string(), "--out", dir.string()});
  EXPECT_EQ(missing.code, kExitFile);
  EXPECT_NE(missing.err.find("R2.jpg"), std::string::npos) << missing.err;
}

TEST(ToolTest, MalformedStringsGetTheirMessageAndExitCode) {
  const Population& p = People();
  const std::string good = p.people[0].enrollment;  // "R2;<n>;<base64>;"
  const std::size_t firstSemi = good.find(';'), secondSemi = good.find(';', firstSemi + 1);
  const std::string length = good.substr(firstSemi + 1, secondSemi - firstSemi - 1);
  const std::string text = good.substr(secondSemi + 1, good.size() - secondSemi - 2);
  const std::string offByOne = std::to_string(std::stoi(length) + 1);
  std::string badChar = good;
  badChar[secondSemi + 5] = '*';
  const std::string tooLong(kMaxInputChars + 1, 'A');
  const std::string garbage = "R2;3;////;";  // Base64 fine, bytes no record
  struct Case {
    const char* name;
    std::string input;
    std::string message;
  } cases[] = {
      {"bad Base64 character", badChar, "'*' at character " + std::to_string(secondSemi + 5)},
      {"wrong declared length", "R2;" + offByOne + ";" + text + ";", "declared length"},
      {"truncated entry", good.substr(0, good.size() - 1), "truncated, the Base64 text"},
      {"truncated after code", "R2;12", "truncated after the finger code"},
      {"entry cut short", good + "L", "entry 2 at character " + std::to_string(good.size()) + ": truncated"},
      {"unknown finger code", "R0;" + length + ";" + text + ";", "unknown finger code \"R0\""},
      {"lower-case code", "r2;" + length + ";" + text + ";", "unknown finger code \"r2\""},
      {"three-character code", "R22;" + length + ";" + text + ";", "a finger code is two characters"},
      {"length with sign", "R2;+" + length + ";" + text + ";", "decimal digits only"},
      {"length with leading zero", "R2;0" + length + ";" + text + ";", "leading zero"},
      {"empty length", "R2;;" + text + ";", "is empty"},
      {"huge length", "R2;99999999999999999999;" + text + ";", "exceeds the largest feature record"},
      {"lone line feed", "R2;" + length + ";" + text.substr(0, 8) + "\n" + text.substr(8) + ";", "LF stands alone"},
      {"text not a multiple of 4", "R2;" + length + ";" + text.substr(0, text.size() - 1) + ";", "not a multiple of 4"},
      {"character after padding", "R2;1;AA=A;", "after '=' padding"},
      {"bytes that are no record", garbage, "no feature record"},
      {"over-long input", tooLong, "at most"},
      {"empty string", "", "empty"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Tool({"inspect", c.input});
    EXPECT_EQ(run.code, kExitMalformed) << c.name;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    const ToolRun match = Tool({"match", c.input, p.probe});
    EXPECT_EQ(match.code, kExitMalformed) << c.name;
  }
  // A verification string with an enrollment string's ';', and a probe that is no record.
  const ToolRun semi = Tool({"match", good, good});
  EXPECT_EQ(semi.code, kExitMalformed);
  EXPECT_NE(semi.err.find("is this an enrollment string?"), std::string::npos) << semi.err;
  const ToolRun noRecord = Tool({"identify", "////", "."});
  EXPECT_EQ(noRecord.code, kExitMalformed);
  EXPECT_NE(noRecord.err.find("verification string: the 3 bytes are no feature record"), std::string::npos)
      << noRecord.err;
  // Irregular line breaks read the same bytes but are not well-formed.
  const ToolRun irregular = Tool({"inspect", "R2;" + length + ";" + text.substr(0, 8) + "\r\n" + text.substr(8) + ";"});
  EXPECT_EQ(irregular.code, kExitOk) << irregular.err;
  EXPECT_NE(irregular.out.find("line breaks irregular: line break after 8 characters"), std::string::npos);
}

TEST(ToolTest, UsageAndGalleryFaults) {
  const Population& p = People();
  EXPECT_EQ(Tool({}).code, kExitUsage);
  EXPECT_EQ(Tool({"frobnicate"}).code, kExitUsage);
  EXPECT_EQ(Tool({"inspect"}).code, kExitUsage);
  EXPECT_EQ(Tool({"match", p.people[0].enrollment, p.probe, "--far", "0"}).code, kExitUsage);
  EXPECT_EQ(Tool({"match", p.people[0].enrollment, p.probe, "--far", "1e-3x"}).code, kExitUsage);
  EXPECT_EQ(Tool({"match", p.people[0].enrollment, p.probe, "--far"}).code, kExitUsage);
  EXPECT_EQ(Tool({"identify", p.probe, ".", "--top", "0"}).code, kExitUsage);
  EXPECT_EQ(Tool({"match", p.people[0].enrollment, p.probe, "--top", "3"}).code, kExitUsage);
  const ToolRun noFile = Tool({"inspect", "@/nonexistent/mivex/template.txt"});
  EXPECT_EQ(noFile.code, kExitFile);
  EXPECT_NE(noFile.err.find("no such file"), std::string::npos);
  // A folder given as a template file is refused as such, not read.
  const ToolRun folder = Tool({"inspect", "@" + Scratch("folder-as-file").string()});
  EXPECT_EQ(folder.code, kExitFile);
  EXPECT_NE(folder.err.find("not a regular file"), std::string::npos);

  const fs::path dir = Scratch("gallery");
  const auto identify = [&](const std::string& csv) {
    WriteText(dir / "g.csv", csv);
    return Tool({"identify", p.probe, (dir / "g.csv").string()});
  };
  const std::string entry = "\"" + p.people[0].enrollment + "\"";
  ToolRun r = identify("a," + entry + "\nb,R2;1;AA==;\n");
  EXPECT_EQ(r.code, kExitMalformed);
  // The first record's quoted string spans lines of its own.
  const std::size_t lines = 1 + static_cast<std::size_t>(std::count(entry.begin(), entry.end(), '\n'));
  EXPECT_NE(r.err.find("g.csv line " + std::to_string(lines + 1) + " (record 2): entry 1 (R2)"), std::string::npos)
      << r.err;
  r = identify("a," + entry + ",extra\n");
  EXPECT_NE(r.err.find("3 fields"), std::string::npos) << r.err;
  r = identify("a,\"" + p.people[0].enrollment);
  EXPECT_NE(r.err.find("not closed"), std::string::npos) << r.err;
  r = identify("," + entry + "\n");
  EXPECT_NE(r.err.find("user id is empty"), std::string::npos) << r.err;
  // A byte order mark before the header, as spreadsheets save CSV files.
  r = identify("\xEF\xBB\xBFuser_id,enrollment\r\na," + entry + "\r\n");
  EXPECT_EQ(r.code, kExitNoMatch) << r.err;
  r = identify("user_id,enrollment\n");
  EXPECT_EQ(r.code, kExitMalformed);
  EXPECT_NE(r.err.find("holds no enrolled finger"), std::string::npos) << r.err;
  EXPECT_EQ(Tool({"identify", p.probe, (dir / "missing.csv").string()}).code, kExitFile);
}

}  // namespace
}  // namespace mivex::tool
