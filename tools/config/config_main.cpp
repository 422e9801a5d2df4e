// skalenor-config: the program's own reading and rewriting of configuration files,
// from the command line.
//   skalenor-config check FILE       one line per problem, FILE:LINE: message
//   skalenor-config dump FILE        the record after reading, as JSON
//   skalenor-config rewrite IN OUT   IN rewritten from its own values into OUT
// Exit status: 0 done (check: no problems), 1 problems found, 2 file unreadable or
// unwritable, 3 wrong usage.
#include <cstdio>
#include <cstring>
#include <memory>

#include "settings/settings_file.h"
#include "settings_json.h"
#include "version.h"

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_PROBLEMS = 1;
constexpr int EXIT_FILE = 2;
constexpr int EXIT_USAGE = 3;

struct CheckContext {
  const char* path;
  int problems;
};

void printProblem(void* context, int line, const char* message) {
  auto* check = static_cast<CheckContext*>(context);
  std::printf("%s:%d: %s\n", check->path, line, message);
  ++check->problems;
}

int usage() {
  std::fprintf(stderr,
               "usage: skalenor-config check FILE\n"
               "       skalenor-config dump FILE\n"
               "       skalenor-config rewrite IN OUT\n"
               "       skalenor-config --version\n");
  return EXIT_USAGE;
}

int cannotRead(const char* path) {
  std::fprintf(stderr, "skalenor-config: cannot read %s\n", path);
  return EXIT_FILE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("skalenor-config %s\n", SKALENOR_VERSION_STRING);
    return EXIT_CLEAN;
  }
  if (argc < 3) return usage();
  const char* command = argv[1];
  auto settings = std::make_unique<MeterSettings>();

  if (std::strcmp(command, "check") == 0 && argc == 3) {
    CheckContext check{argv[2], 0};
    if (!readSettingsFile(*settings, argv[2], printProblem, &check)) return cannotRead(argv[2]);
    return check.problems ? EXIT_PROBLEMS : EXIT_CLEAN;
  }
  if (std::strcmp(command, "dump") == 0 && argc == 3) {
    if (!readSettingsFile(*settings, argv[2])) return cannotRead(argv[2]);
    std::fputs(settingsToJson(*settings).c_str(), stdout);
    return EXIT_CLEAN;
  }
  if (std::strcmp(command, "rewrite") == 0 && argc == 4) {
    if (!readSettingsFile(*settings, argv[2])) return cannotRead(argv[2]);
    if (!rewriteSettingsFile(*settings, argv[2], argv[3])) {
      std::fprintf(stderr, "skalenor-config: cannot write %s\n", argv[3]);
      return EXIT_FILE;
    }
    return EXIT_CLEAN;
  }
  return usage();
}
