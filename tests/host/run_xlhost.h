#pragma once
// Runs the xlhost program as a user would: arguments without a shell between,
// optional standard input, both output streams kept apart, and how it ended.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace xlhost_test {

struct Run {
  std::string out, err;
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A file of this test process alone: CTest runs the tests of one program in
// several processes at once.
inline std::string TempFile(const std::string& name, const std::string& content) {
  const std::string path = testing::TempDir() + "/" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// addressSpace: a limit in bytes on the child's memory (0: none).
inline Run Xlhost(const std::vector<std::string>& arguments, const std::string& input = "",
                  std::size_t addressSpace = 0) {
  static int serial = 0;
  const std::string base = testing::TempDir() + "/xlhost_run" + std::to_string(getpid()) + "_" + std::to_string(++serial);
  const std::string in = base + ".in", out = base + ".out", err = base + ".err";
  std::ofstream(in, std::ios::binary) << input;
  std::vector<std::string> argv{XLHOST_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const pid_t child = fork();
  if (child == 0) {
    const int fi = open(in.c_str(), O_RDONLY), fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
              fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fi < 0 || fo < 0 || fe < 0) _exit(127);
    dup2(fi, 0), dup2(fo, 1), dup2(fe, 2);
    if (addressSpace) {
      const rlimit limit{addressSpace, addressSpace};
      setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  Run r;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  std::remove(in.c_str()), std::remove(out.c_str()), std::remove(err.c_str());
  return r;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace xlhost_test
