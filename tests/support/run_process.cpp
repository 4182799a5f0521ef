#include "support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace officecarve::testing {

std::string CliBinary() { return OFFICECARVE_CLI_BINARY; }

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  int out_pipe[2];
  int err_pipe[2];
  ProcessResult result;
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
  const pid_t child = fork();
  if (child == 0) {
    const int null_input = open("/dev/null", O_RDONLY);
    dup2(null_input, STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(err_pipe[0]);
    for (const std::string& entry : options.environment) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);

  std::thread interrupter;
  if (options.interrupt_after) {
    interrupter = std::thread([child, options]() {
      std::this_thread::sleep_for(*options.interrupt_after);
      for (int i = 0; i < options.interrupts; ++i) {
        kill(child, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
    });
  }

  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_pipes = 2;
  char buffer[4096];
  while (open_pipes > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (interrupter.joinable()) interrupter.join();
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace officecarve::testing
