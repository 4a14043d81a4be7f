// A server process that a test starts and stops itself: forked, waited for until its
// TCP port on 127.0.0.1 answers, ended with SIGTERM (SIGKILL if it lingers).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace korvel::testing {

class ChildServer {
 public:
  ChildServer() = default;
  ~ChildServer() { Stop(); }
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;

  // Forks, runs `exec_child` in the child (it should exec and not return), and waits
  // up to 20 s for `port` to answer. False, with the reason, when it does not.
  bool Start(const std::function<void()>& exec_child, int port, const std::string& name, std::string* why);
  void Stop();

  static bool PortAnswers(int port);
  // A port nobody listens on right now.
  static int FreePort();

 private:
  pid_t pid_ = -1;
};

}  // namespace korvel::testing
