// Numeric flags of the benchmark programs, taken out of argv before Google
// Benchmark reads the rest.
#ifndef VOLTRANE_BENCH_BENCH_FLAGS_H_
#define VOLTRANE_BENCH_BENCH_FLAGS_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// Removes --<name>=N from the arguments and returns N; `fallback` when absent.
inline int64_t TakeFlag(int& argc, char** argv, const std::string& name, int64_t fallback) {
  const std::string flag = "--" + name + "=";
  int64_t value = fallback;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], flag.c_str(), flag.size()) == 0) {
      value = std::atoll(argv[i] + flag.size());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return value;
}

#endif  // VOLTRANE_BENCH_BENCH_FLAGS_H_
