// skalenor-export REC.qmr [OUT.csv] [--delimiter C] [--decimal-comma] [--markers] [--from S] [--to S]
// Writes a recording as CSV, to OUT.csv or to standard output; --from and --to
// keep the rows whose time_s lies between them (seconds from the start).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#endif

#include "recording/csv_export.h"
#include "recording/recording_reader.h"
#include "version.h"

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

int usage() {
  std::fputs("usage: skalenor-export REC.qmr [OUT.csv] [--delimiter C] [--decimal-comma] [--markers]\n"
             "                       [--from SECONDS] [--to SECONDS]\n"
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

bool parseSeconds(const char* text, double* out) {
  char* end = nullptr;
  *out = text ? std::strtod(text, &end) : 0.0;
  return text && end != text && *end == 0 && *out >= 0.0 && *out <= 1e15;
}

// Row r of the file stands at time_s = (r + 1) / rows per second: the rows from..to.
void rowsBetween(const RecordingFile& recording, double from, double to, uint64_t* first, uint64_t* count) {
  const double perSecond = recording.rowsPerSecond(), rows = static_cast<double>(recording.rowCount());
  const double a = std::clamp(std::ceil(from * perSecond - 1e-9) - 1.0, 0.0, rows);
  const double b = std::clamp(std::floor(to * perSecond + 1e-9), 0.0, rows);  // one past the last
  *first = static_cast<uint64_t>(a);
  *count = b > a ? static_cast<uint64_t>(b - a) : 0;
}

FILE* createOutput(const char* utf8Path) {
#ifdef _WIN32
  std::wstring wide(std::strlen(utf8Path) + 1, L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8Path, -1, wide.data(), static_cast<int>(wide.size()))));
  return _wfopen(wide.c_str(), L"wb");
#else
  return std::fopen(utf8Path, "wb");
#endif
}

}  // namespace

static int run(int argc, char** argv) {
  CsvOptions options;
  double from = 0.0, to = 1e15;
  bool spanGiven = false;
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
    } else if (!std::strcmp(a, "--from") || !std::strcmp(a, "--to")) {
      spanGiven = true;
      if (!parseSeconds(i + 1 < argc ? argv[++i] : nullptr, a[2] == 'f' ? &from : &to)) {
        std::fprintf(stderr, "skalenor-export: %s takes seconds from the start\n", a);
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

  RecordingFile recording;
  const RecordingProblem problem = recording.open(input);
  if (problem == RecordingProblem::CANNOT_OPEN) {
    std::fprintf(stderr, "skalenor-export: cannot open %s\n", input);
    return EXIT_REFUSED;
  }
  if (problem != RecordingProblem::NONE) {
    std::fprintf(stderr, "skalenor-export: %s: %s\n", input, recordingProblemText(problem));
    return EXIT_REFUSED;
  }
  recording.finishDescription();
  for (const auto& w : recording.warnings()) std::fprintf(stderr, "skalenor-export: warning: %s\n", w.c_str());

  FILE* out = stdout;
  if (output) {
    out = createOutput(output);
    if (!out) {
      std::fprintf(stderr, "skalenor-export: cannot create %s\n", output);
      return EXIT_REFUSED;
    }
  } else {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
  }
  FileTextSink sink(out);
  uint64_t first = 0, count = recording.rowCount();
  if (spanGiven) rowsBetween(recording, from, to, &first, &count);
  bool ok = writeCsv(recording, recording.rows(), first, count, options, sink);
  ok = (output ? std::fclose(out) : std::fflush(out)) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "skalenor-export: writing %s failed\n", output ? output : "standard output");
    return EXIT_REFUSED;
  }
  return 0;
}

#ifdef _WIN32
// Arguments as UTF-8 from the wide command line: paths keep every character.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  std::vector<char*> pointers;
  for (int i = 0; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string a(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, a.data(), n, nullptr, nullptr);
    a.resize(std::strlen(a.c_str()));
    args.push_back(a);
  }
  for (auto& a : args) pointers.push_back(a.data());
  return run(argc, pointers.data());
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
