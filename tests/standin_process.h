#pragma once

// The stand-in service run as a subprocess of a test, serving its own folder of pages.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

class StandInProcess {
 public:
  StandInProcess() = default;
  StandInProcess(const StandInProcess&) = delete;
  StandInProcess& operator=(const StandInProcess&) = delete;
  ~StandInProcess() { stop(); }

  // Writes the pages (code → body) and the modes file text, starts the service with any extra
  // arguments and reads its port; a failure shows as a test failure and port() 0.
  void start(const std::map<int, std::string>& pages, const std::string& modes,
             const std::vector<std::string>& extra_arguments = {});
  // Ends the service (it exits at the end of its input; killed after 5 s) and removes its folder.
  void stop();

  int port() const { return port_; }
  std::string proxy() const { return "http://127.0.0.1:" + std::to_string(port_); }
  const std::filesystem::path& log_path() const { return log_; }

 private:
  void spawn(const std::vector<std::string>& arguments);

  std::filesystem::path dir_;
  std::filesystem::path log_;
  pid_t pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
};
