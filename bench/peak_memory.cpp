// Runs a command and reports its peak resident set.
//
//   peak_memory OUTPUT COMMAND [ARGS...]
//
// Writes "maxrss_kb=N" to the file OUTPUT and exits with the command's exit
// status. The benchmark script cannot measure this itself: a process
// started from a large program (the Python interpreter) keeps that
// program's resident set as its peak from before its exec, which hides the
// peak of a small run. This launcher is small, so the peak it reports is
// the command's own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_memory OUTPUT COMMAND [ARGS...]\n");
    return 2;
  }
  const pid_t pid = fork();
  if (pid < 0) return 127;
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) < 0) return 127;
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 127;
  std::fprintf(out, "maxrss_kb=%ld\n", usage.ru_maxrss);
  std::fclose(out);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
