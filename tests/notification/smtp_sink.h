// A real SMTP server on 127.0.0.1 for tests (smtp_sink.py under Debian's python3 with
// aiosmtpd), started and stopped by the test; what it receives is read back decoded.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/child_server.h"

namespace korvel::testing {

class SmtpSink {
 public:
  using Message = std::map<std::string, std::string>;

  explicit SmtpSink(std::string folder) : folder_(std::move(folder)) {}
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  // False (with the reason) when the server does not answer within 20 seconds.
  bool Start(std::string* why) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    port_ = ChildServer::FreePort();
    const std::string port = std::to_string(port_);
    return process_.Start(
        [&] { execl("/usr/bin/python3", "python3", SMTP_SINK, port.c_str(), folder_.c_str(), nullptr); }, port_,
        "smtp_sink.py (python3-aiosmtpd)", why);
  }

  void Stop() { process_.Stop(); }

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
  std::string folder_;
  int port_ = 0;
  ChildServer process_;
};

}  // namespace korvel::testing
