// File helpers shared by the tests of every folder: a scratch folder per test, and reading and
// writing whole files.
#ifndef DBC_TESTS_SUPPORT_TEST_FILES_H_
#define DBC_TESTS_SUPPORT_TEST_FILES_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace test_support {

// What ReadFile answers for a file that does not exist.
constexpr char kMissing[] = "<missing>";

// The file's bytes, or kMissing.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kMissing;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A folder of its own for the running test, with a data/ folder inside, removed when the object
// goes. Its path is short (the host keeps some paths below 50 characters): the prefix, the
// process ID and a count of the process's scratch folders.
class CScratchFolder {
 public:
  explicit CScratchFolder(const std::string& prefix = "dbc") {
    static int count = 0;
    path_ = std::filesystem::path(::testing::TempDir()) /
            (prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(++count));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_ / "data");
  }
  ~CScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  // The scratch folder itself, without a trailing separator.
  std::string Root() const { return path_.string(); }
  // The data folder, ending with a separator.
  std::string DataFolder() const { return (path_ / "data").string() + "/"; }
  std::string Data(const std::string& name) const { return DataFolder() + name; }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  // The names of the files in the data folder, sorted.
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / "data")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every file below the scratch folder, outside the data folder too (relative paths, sorted).
  std::vector<std::string> AllFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      if (entry.is_regular_file()) {
        names.push_back(std::filesystem::relative(entry.path(), path_).string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_TEST_FILES_H_
