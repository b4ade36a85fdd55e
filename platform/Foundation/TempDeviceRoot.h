#pragma once
// Test support: a scoped temporary device root with the phone's /var -> /private/var link,
// set as MUTARO_DEVICE_ROOT for the current process while it lives.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempDeviceRoot {
 public:
  TempDeviceRoot() {
    char pattern[] = "/tmp/mutaro-root-XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::create_directories(path_ + "/private/var/mobile/Library/Preferences");
    std::filesystem::create_symlink("private/var", path_ + "/var");
    setenv("MUTARO_DEVICE_ROOT", path_.c_str(), 1);
  }
  ~TempDeviceRoot() {
    unsetenv("MUTARO_DEVICE_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  const std::string& path() const { return path_; }
  // The real path of a phone path under this root.
  std::string at(const std::string& phonePath) const { return path_ + phonePath; }

  void write(const std::string& phonePath, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(at(phonePath)).parent_path());
    std::ofstream(at(phonePath), std::ios::binary) << contents;
  }
  std::string read(const std::string& phonePath) const {
    std::ifstream in(at(phonePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool exists(const std::string& phonePath) const {
    struct stat info;
    return lstat(at(phonePath).c_str(), &info) == 0;
  }

 private:
  std::string path_;
};
