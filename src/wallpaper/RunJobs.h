#pragma once
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

// Runs each of `count` jobs, all but the first on threads of their own, and rethrows the
// first failure once all have ended.
template <typename Job>
void RunAll(size_t count, Job job) {
  std::vector<std::exception_ptr> errors(count);
  const auto run = [&](size_t i) {
    try {
      job(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  for (size_t i = 1; i < count; ++i) {
    try {
      threads.emplace_back(run, i);
    } catch (const std::system_error&) {
      run(i);  // no thread to be had: the job runs here instead
    }
  }
  if (count > 0) run(0);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}
