// A real SMTP server on 127.0.0.1 for tests (smtp_sink.py under Debian's python3 with
// aiosmtpd), started and stopped by the test; what it receives is read back decoded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace korvel::testing {

class SmtpSink {
 public:
  using Message = std::map<std::string, std::string>;

  explicit SmtpSink(std::string folder) : folder_(std::move(folder)) {}
  ~SmtpSink() { Stop(); }
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  // False (with the reason) when the server does not answer within 20 seconds.
  bool Start(std::string* why) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    port_ = FreePort();
    pid_ = fork();
    if (pid_ == 0) {
      const std::string port = std::to_string(port_);
      execl("/usr/bin/python3", "python3", SMTP_SINK, port.c_str(), folder_.c_str(), nullptr);
      _exit(127);
    }
    for (int i = 0; i < 200; ++i) {
      if (Answers()) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        *why = "smtp_sink.py ended at start (is python3-aiosmtpd installed?)";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    *why = "smtp_sink.py does not answer on port " + std::to_string(port_);
    Stop();
    return false;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  std::string Port() const { return std::to_string(port_); }

  // The messages received so far, in order, as name=value fields.
  std::vector<Message> Messages() const {
    std::vector<Message> messages;
    for (int n = 1;; ++n) {
      std::ifstream in(folder_ + "/" + std::to_string(n) + ".txt");
      if (!in) break;
      Message message;
      for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) message[line.substr(0, eq)] = line.substr(eq + 1);
      }
      messages.push_back(message);
    }
    return messages;
  }

 private:
  static int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
  }

  bool Answers() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
  }

  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace korvel::testing
