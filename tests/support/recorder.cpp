#include "tests/support/recorder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/file_path.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
void writeProgram(const fs::path& path, int exitCode) {
  fs::copy_file(platform::pathFromUtf8(platform::programFolder()) / "zentro_recorder.exe", path,
                fs::copy_options::overwrite_existing);
  fs::path exitFile = path;
  exitFile += ".exit";
  std::ofstream(exitFile, std::ios::binary) << exitCode;
}
#else
void writeProgram(const fs::path& path, int exitCode) {
  std::ofstream(path, std::ios::binary)
      << "#!/bin/sh\n"
         "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args.tmp\"\n"
         "mv \"$0.args.tmp\" \"$0.args\"\n"
         "pwd -P > \"$0.cwd.tmp\" && mv \"$0.cwd.tmp\" \"$0.cwd\"\n"
         "exit "
      << exitCode << "\n";
  fs::permissions(path, fs::perms::owner_all);
}
#endif

}  // namespace

std::string writeRecorder(const std::string& path, int exitCode) {
  const fs::path p = platform::pathFromUtf8(path);
  fs::create_directories(p.parent_path());
  writeProgram(p, exitCode);
  return path;
}

Record awaitRecord(const std::string& programPath) {
  const fs::path done = platform::pathFromUtf8(programPath + ".cwd");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::error_code ec;
  while (!fs::exists(done, ec) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Record r;
  r.ran = fs::exists(done, ec);
  r.args = readFile(programPath + ".args");
  r.folder = readFile(programPath + ".cwd");
  while (!r.folder.empty() && (r.folder.back() == '\n' || r.folder.back() == '\r')) r.folder.pop_back();
  return r;
}

}  // namespace zentro::testing
