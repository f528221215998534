#pragma once
#include <utility>

namespace krvs {

// Runs f when the scope ends, however it ends: the restore tail of a handler, or
// the undoing of a half-done step, which dismiss() cancels once the step finished.
template <class F> class ScopeGuard {
  public:
    explicit ScopeGuard(F f) : f_(std::move(f)) {}
    ~ScopeGuard() {
        if (armed_) f_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    void dismiss() { armed_ = false; }

  private:
    F f_;
    bool armed_ = true;
};

} // namespace krvs
