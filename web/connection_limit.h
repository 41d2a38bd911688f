// The bound on connections: a fixed pool of threads serves at most
// `max_connections` connections at once; up to `max_waiting` more wait for a
// thread. A connection beyond that goes to one refusing thread, on which
// RefusingConnection() is true and the server answers "503 Service
// Unavailable" without touching the database, so a flood of clients can
// neither grow the queue without end nor starve the ones being served. Up to
// kMaxRefusalsWaiting connections wait for the refusing thread (a slow client
// holds it up to the read timeout); beyond that the accepting thread refuses
// them itself. Every connection from its acceptance to its close counts in
// the shared open-connections count. Thread-safe.
#ifndef VOLTRANE_WEB_CONNECTION_LIMIT_H_
#define VOLTRANE_WEB_CONNECTION_LIMIT_H_

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace web {

inline constexpr size_t kMaxRefusalsWaiting = 256;

class ConnectionQueue : public httplib::TaskQueue {
 public:
  ConnectionQueue(size_t threads, size_t max_waiting,
                  std::shared_ptr<std::atomic<int64_t>> open = nullptr);
  ~ConnectionQueue() override;

  void enqueue(std::function<void()> fn) override;
  // Serves what waits, then ends the threads.
  void shutdown() override;

 private:
  void Work();
  void Refuse();

  const size_t capacity_;  // threads + the most that may wait
  const std::shared_ptr<std::atomic<int64_t>> open_;  // connections accepted, not yet closed
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> waiting_;   // guarded by mutex_
  size_t busy_ = 0;                             // guarded by mutex_
  std::deque<std::function<void()>> refusals_;  // guarded by mutex_
  bool shutting_down_ = false;                  // guarded by mutex_
  std::vector<std::thread> threads_;            // the serving threads and the refusing one
};

// httplib::Server serving its connections through a ConnectionQueue.
class LimitedHttpServer : public httplib::Server {
 public:
  LimitedHttpServer(size_t max_connections, size_t max_waiting);
  // Connections accepted and not yet closed, served, waiting or being refused.
  int64_t OpenConnections() const { return open_->load(); }

 private:
  std::shared_ptr<std::atomic<int64_t>> open_ = std::make_shared<std::atomic<int64_t>>(0);
};

// True on the accepting thread while it answers a connection it has no room for.
bool RefusingConnection();

}  // namespace web

#endif  // VOLTRANE_WEB_CONNECTION_LIMIT_H_
