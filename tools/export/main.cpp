// skalenor-export REC.qmr [OUT.csv] [--delimiter C] [--decimal-comma] [--markers]
// Writes a recording as CSV, to OUT.csv or to standard output.
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "csv_export.h"
#include "recording_reader.h"
#include "version.h"

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

int usage() {
  std::fputs("usage: skalenor-export REC.qmr [OUT.csv] [--delimiter C] [--decimal-comma] [--markers]\n"
             "       skalenor-export --version\n",
             stderr);
  return EXIT_USAGE;
}

bool parseDelimiter(const char* text, char* out) {
  if (!std::strcmp(text, "tab") || !std::strcmp(text, "\\t")) { *out = '\t'; return true; }
  if (std::strlen(text) != 1 || text[0] == '"' || text[0] == '\r' || text[0] == '\n') return false;
  *out = text[0];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CsvOptions options;
  const char* input = nullptr;
  const char* output = nullptr;
  if (argc == 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("skalenor-export %s\n", SKALENOR_VERSION_STRING);
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--decimal-comma")) {
      options.decimalComma = true;
    } else if (!std::strcmp(a, "--markers")) {
      options.markers = true;
    } else if (!std::strcmp(a, "--delimiter") || !std::strncmp(a, "--delimiter=", 12)) {
      const char* value = a[11] == '=' ? a + 12 : (i + 1 < argc ? argv[++i] : nullptr);
      if (!value || !parseDelimiter(value, &options.delimiter)) {
        std::fputs("skalenor-export: --delimiter takes one character (or \"tab\")\n", stderr);
        return EXIT_USAGE;
      }
    } else if (a[0] == '-' && a[1] == '-') {
      std::fprintf(stderr, "skalenor-export: unknown option %s\n", a);
      return usage();
    } else if (!input) {
      input = a;
    } else if (!output) {
      output = a;
    } else {
      return usage();
    }
  }
  if (!input) return usage();

  Recording recording;
  std::string error;
  if (!readRecording(input, &recording, &error)) {
    std::fprintf(stderr, "skalenor-export: %s\n", error.c_str());
    return EXIT_REFUSED;
  }
  for (const auto& w : recording.warnings) std::fprintf(stderr, "skalenor-export: warning: %s\n", w.c_str());

  const std::string csv = formatCsv(recording, options);
  FILE* out = stdout;
  if (output) {
    out = std::fopen(output, "wb");
    if (!out) {
      std::fprintf(stderr, "skalenor-export: cannot create %s\n", output);
      return EXIT_REFUSED;
    }
  } else {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
  }
  bool ok = std::fwrite(csv.data(), 1, csv.size(), out) == csv.size();
  ok = (output ? std::fclose(out) : std::fflush(out)) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "skalenor-export: writing %s failed\n", output ? output : "standard output");
    return EXIT_REFUSED;
  }
  return 0;
}
