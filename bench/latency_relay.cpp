// latency-relay: a TCP relay on loopback that holds every chunk of data it passes for
// a fixed delay in each direction, so a benchmark can see a network's round trips
// where `tc netem` is not available. Each direction is a queue: a reader stamps what
// it receives with its due time, a writer sends it when due, so data in flight is not
// held up behind earlier chunks' delays (like a link's latency, not its bandwidth).
//   latency-relay LISTEN_PORT TARGET_PORT DELAY_MS      (DELAY_MS may be 0.5)
// Runs until killed; prints "ready" once it listens.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
  Clock::time_point due;
  std::vector<char> data;  // empty: the sender closed
};

// One direction of one connection.
class Direction {
 public:
  Direction(int from, int to, Clock::duration delay) : from_(from), to_(to), delay_(delay) {}

  void Run() {
    std::thread writer([this] { Write(); });
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      const ssize_t n = read(from_, buffer.data(), buffer.size());
      Chunk chunk{Clock::now() + delay_, {}};
      if (n > 0) chunk.data.assign(buffer.begin(), buffer.begin() + n);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(chunk));
      }
      ready_.notify_one();
      if (n <= 0) break;
    }
    writer.join();
  }

 private:
  void Write() {
    for (;;) {
      Chunk chunk;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        chunk = std::move(queue_.front());
        queue_.pop_front();
      }
      std::this_thread::sleep_until(chunk.due);
      if (chunk.data.empty()) {
        shutdown(to_, SHUT_WR);
        return;
      }
      for (size_t sent = 0; sent < chunk.data.size();) {
        const ssize_t n = write(to_, chunk.data.data() + sent, chunk.data.size() - sent);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
      }
    }
  }

  int from_, to_;
  Clock::duration delay_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Chunk> queue_;
};

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void NoDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void Relay(int client, int targetPort, Clock::duration delay) {
  const int server = Connect(targetPort);
  if (server < 0) {
    close(client);
    return;
  }
  NoDelay(client);
  NoDelay(server);
  Direction up(client, server, delay);
  Direction down(server, client, delay);
  std::thread upstream([&] { up.Run(); });
  down.Run();
  upstream.join();
  close(client);
  close(server);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: latency-relay LISTEN_PORT TARGET_PORT DELAY_MS\n");
    return 2;
  }
  const int listen_port = std::atoi(argv[1]);
  const int target_port = std::atoi(argv[2]);
  const auto delay = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double, std::milli>(std::strtod(argv[3], nullptr)));
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(listen_port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) {
    std::perror("latency-relay");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    std::thread(Relay, client, target_port, delay).detach();
  }
}
