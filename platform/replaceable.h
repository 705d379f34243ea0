// A platform service that tests can replace: `Service::current()` is the
// system's implementation unless a `Service::Override` is alive, in which case
// it is the replacement that override names (the latest one wins).
#pragma once

#include <atomic>

namespace corvane::platform {

template <class Service>
class Replaceable {
 public:
  static Service& current() {
    Service* replacement = override_.load(std::memory_order_acquire);
    return replacement != nullptr ? *replacement : Service::system();
  }

  class Override {
   public:
    explicit Override(Service& replacement)
        : previous_(override_.exchange(&replacement, std::memory_order_acq_rel)) {}
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;
    ~Override() { override_.store(previous_, std::memory_order_release); }

   private:
    Service* previous_;
  };

 protected:
  ~Replaceable() = default;

 private:
  static inline std::atomic<Service*> override_{nullptr};
};

}  // namespace corvane::platform
