#pragma once
#include <utility>

namespace krvs {

// Runs the restore tail of a handler however the handler ends.
template <class F> class ScopeGuard {
  public:
    explicit ScopeGuard(F f) : f_(std::move(f)) {}
    ~ScopeGuard() { f_(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

  private:
    F f_;
};

} // namespace krvs
