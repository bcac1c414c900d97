#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace rastello::test {

std::vector<std::string> ProgramResult::lines() const {
  std::vector<std::string> result;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    result.push_back(out.substr(pos, end - pos));
    pos = end + 1;
  }
  return result;
}

ProgramResult RunRastello(const std::vector<std::string>& args, const ProgramOptions& options) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");

  std::vector<std::string> argStrings = options.wrapper;
  argStrings.push_back(RASTELLO_EXE);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> envMap;
  for (char** e = environ; *e; ++e) {
    std::string kv(*e);
    size_t eq = kv.find('=');
    if (eq != std::string::npos) envMap[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : options.env) envMap[k] = v;
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : envMap) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  if (!options.workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());

  pid_t pid;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (rc != 0) throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(rc));

  ProgramResult result;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  int waitedMs = 0;
  while (open > 0 && waitedMs < options.timeoutSeconds * 1000) {
    int n = ::poll(fds, 2, 100);
    if (n == 0) {
      waitedMs += 100;
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
      if (got <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buf, size_t(got));
      }
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);
  for (auto& f : fds)
    if (f.fd >= 0) ::close(f.fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace rastello::test
