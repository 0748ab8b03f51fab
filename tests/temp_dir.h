#pragma once

// A fresh temporary folder made the working directory for one test, removed afterwards.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class TempWorkingDir {
 public:
  TempWorkingDir() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / ("kessan-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
    std::filesystem::current_path(path_);
  }
  ~TempWorkingDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
