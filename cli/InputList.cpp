#include "cli/InputList.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string LowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool WantedInFolder(const fs::path& path, bool convert) {
  const std::string ext = LowerExtension(path);
  if (ext == ".png") return true;
  if (!convert) return false;
  for (const char* other : {".gif", ".bmp", ".tga", ".pcx", ".cel", ".dds", ".jpg", ".jpeg"}) {
    if (ext == other) return true;
  }
  return false;
}

class Collector {
 public:
  Collector(std::vector<InputFile>& files, std::vector<UnusableInput>& errors) : m_files(files), m_errors(errors) {}

  void Add(const std::string& name, const fs::path& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    if (ec) {
      m_errors.push_back({name, ec.message()});
      return;
    }
    if (!m_seen.insert(target.string()).second) return;  // named before
    m_files.push_back({name, target, false});
  }

  void Walk(const std::string& name, bool convert) {
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator it(name, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec) && WantedInFolder(it->path(), convert)) found.push_back(it->path());
    }
    if (ec) m_errors.push_back({name, ec.message()});
    std::sort(found.begin(), found.end());  // a stable order run after run
    for (const fs::path& path : found) Add(path.string(), path);
  }

 private:
  std::vector<InputFile>& m_files;
  std::vector<UnusableInput>& m_errors;
  std::set<std::string> m_seen;
};

}  // namespace

void ListInputs(const CliOptions& options, std::vector<InputFile>& files, std::vector<UnusableInput>& errors) {
  Collector collector(files, errors);
  for (const std::string& name : options.inputs) {
    if (name == "-") {
      files.push_back({"-", {}, true});
      continue;
    }
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
      if (options.recursive) {
        collector.Walk(name, options.convert);
      } else {
        errors.push_back({name, "is a folder (-r optimizes the PNG files in it)"});
      }
      continue;
    }
    collector.Add(name, name);
  }
}
