#include "tools/stop_signals.h"

#include <pthread.h>
#include <signal.h>

namespace {

std::atomic<bool> g_stop_requested{false};
std::atomic<int> g_stop_signal{0};

extern "C" void RequestStop(int signal_number) {
  g_stop_signal = signal_number;
  g_stop_requested = true;
}

}  // namespace

void CatchStopSignals() {
  g_stop_requested = false;
  g_stop_signal = 0;
  struct sigaction action {};
  action.sa_handler = RequestStop;
  // SA_RESTART: a database call in progress goes on; the flag is read after it.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

const std::atomic<bool>& StopRequested() { return g_stop_requested; }

int StopSignalNumber() { return g_stop_signal; }

sigset_t BlockStopSignals(sigset_t& previous) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, &previous);
  return signals;
}
