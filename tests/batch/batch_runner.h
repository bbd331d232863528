#pragma once
// Runs kelmorph-batch as a user would from a shell, for the batch tests.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace km::test {

struct BatchRun {
  int status = -1;  // exit status, -1 when the tool did not exit normally
  std::string out, err;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs kelmorph-batch with args (no quoting: no spaces in them) in folder cwd
// (the test's own when empty); standard error goes through errFile.
inline BatchRun RunBatch(const std::string& cwd, const std::string& args, const std::string& errFile) {
  std::string command = cwd.empty() ? "" : "cd '" + cwd + "' && ";
  command += "'" + std::string(KELMORPH_BATCH_EXE) + "' " + args + " 2>'" + errFile + "'";
  BatchRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadAll(errFile);
  return run;
}

}  // namespace km::test
