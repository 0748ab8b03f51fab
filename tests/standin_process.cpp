#include "standin_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

void StandInProcess::start(const std::map<int, std::string>& pages, const std::string& modes,
                           const std::vector<std::string>& extra_arguments) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kessan-standin-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
  std::filesystem::create_directory(dir_ / "pages");
  for (const auto& [code, body] : pages)
    std::ofstream(dir_ / "pages" / (std::to_string(code) + ".html"), std::ios::binary) << body;
  std::ofstream(dir_ / "modes") << modes;
  log_ = dir_ / "requests.log";

  std::vector<std::string> arguments = {KESSAN_PYTHON,
                                        KESSAN_STANDIN_SERVICE,
                                        "--pages",
                                        (dir_ / "pages").string(),
                                        "--modes",
                                        (dir_ / "modes").string(),
                                        "--log",
                                        log_.string(),
                                        "--port",
                                        "0",
                                        "--exit-on-stdin-eof"};
  arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
  spawn(arguments);
}

void StandInProcess::spawn(const std::vector<std::string>& arguments) {
  int in[2], out[2];
  ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  int rc = posix_spawn(&pid_, KESSAN_PYTHON, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  stdin_ = in[1];
  if (rc != 0) pid_ = -1;
  ASSERT_EQ(rc, 0) << "cannot start " << KESSAN_PYTHON;

  std::string line;
  auto start = Clock::now();
  while (line.find('\n') == std::string::npos && seconds_since(start) < 10) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buf[64];
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  port_ = atoi(line.c_str());
  ASSERT_GT(port_, 0) << "the stand-in printed no port";
}

void StandInProcess::stop() {
  if (stdin_ >= 0) close(stdin_);
  stdin_ = -1;
  if (pid_ > 0) {
    auto start = Clock::now();
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (seconds_since(start) > 5) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}
