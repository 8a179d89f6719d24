#include "HostArgs.h"

#include <cstdlib>
#include <cstring>

namespace mivex::host {

const char* Usage() {
  return "usage: mivex-host enroll [--p] [--user TEXT] [--enrolled CODES] [--codes CODES]\n"
         "                         [--sequence CODES] [--min N] [--max N] [--close-after SECONDS]\n"
         "       mivex-host verify [--string] [--close-after SECONDS]\n"
         "       mivex-host demo --scenario-file F [--screenshot F] [--real-prints FOLDER]\n"
         "  --p            call the P variant (plain NUL-terminated texts)\n"
         "  --sequence     call the set variant with this preset finger order\n"
         "  --string       call GetFPVerifyTempString (counted-string result)\n"
         "  --close-after  close the dialog with its close box after SECONDS, as a user would\n"
         "  --screenshot F save a picture of the dialog (BMP) before closing it\n"
         "  --library PATH load this DLL instead of Mivex.dll\n"
         "  demo           enrols two fingers of one simulated person by driving the dialog,\n"
         "                 verifies that person and another one, and reports the scores;\n"
         "                 F is the file the simulated sensor reads (OSTRELA_SCENARIO_FILE)\n"
         "  --real-prints  demo: then does the same with real prints, images <finger>_<n>.png\n"
         "                 of FOLDER played as presses\n";
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  if (argc < 2) {
    error = "no command";
    return false;
  }
  std::string command = argv[1];
  if (command == "enroll") {
    o.command = Command::kEnroll;
  } else if (command == "verify") {
    o.command = Command::kVerify;
  } else if (command == "demo") {
    o.command = Command::kDemo;
  } else {
    error = "unknown command " + command;
    return false;
  }
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--p") {
      o.plain = true;
    } else if (a == "--string") {
      o.as_string = true;
    } else if (a == "--user") {
      if (!value(o.user)) return false;
    } else if (a == "--enrolled") {
      if (!value(o.enrolled)) return false;
    } else if (a == "--codes") {
      if (!value(o.codes)) return false;
    } else if (a == "--sequence") {
      if (!value(o.sequence)) return false;
      o.sequence_given = true;
    } else if (a == "--screenshot") {
      if (!value(o.screenshot)) return false;
    } else if (a == "--library") {
      if (!value(o.library)) return false;
    } else if (a == "--scenario-file") {
      if (!value(o.scenario_file)) return false;
    } else if (a == "--real-prints") {
      if (!value(o.real_prints)) return false;
    } else if (a == "--min" || a == "--max" || a == "--close-after") {
      if (!value(v)) return false;
      char* end = nullptr;
      double d = std::strtod(v.c_str(), &end);
      if (!end || *end) {
        error = a + ": not a number: " + v;
        return false;
      }
      if (a == "--min") o.minimum = static_cast<std::int32_t>(d);
      else if (a == "--max") o.maximum = static_cast<std::int32_t>(d);
      else o.close_after = d;
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  if (o.command == Command::kDemo && o.scenario_file.empty()) {
    error = "demo needs --scenario-file";
    return false;
  }
  return true;
}

}  // namespace mivex::host
