// The bound on connections: a fixed pool of threads serves at most
// `max_connections` connections at once; up to `max_waiting` more wait for a
// thread. A connection beyond that is run on the accepting thread with
// RefusingConnection() true, and the server answers its requests "503
// Service Unavailable" without touching the database, so a flood of clients
// can neither grow the queue without end nor starve the ones being served.
// Thread-safe.
#ifndef VOLTRANE_WEB_CONNECTION_LIMIT_H_
#define VOLTRANE_WEB_CONNECTION_LIMIT_H_

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace web {

class ConnectionQueue : public httplib::TaskQueue {
 public:
  ConnectionQueue(size_t threads, size_t max_waiting);
  ~ConnectionQueue() override;

  void enqueue(std::function<void()> fn) override;
  // Serves what waits, then ends the threads.
  void shutdown() override;

 private:
  void Work();

  const size_t capacity_;  // threads + the most that may wait
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> waiting_;  // guarded by mutex_
  size_t busy_ = 0;                            // guarded by mutex_
  bool shutting_down_ = false;                 // guarded by mutex_
  std::vector<std::thread> threads_;
};

// httplib::Server serving its connections through a ConnectionQueue.
class LimitedHttpServer : public httplib::Server {
 public:
  LimitedHttpServer(size_t max_connections, size_t max_waiting);
};

// True on the accepting thread while it answers a connection it has no room for.
bool RefusingConnection();

}  // namespace web

#endif  // VOLTRANE_WEB_CONNECTION_LIMIT_H_
