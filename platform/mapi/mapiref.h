// Holding one reference to an interface of the mail library.
#pragma once

#include <utility>

namespace quorvel::mapi {

/// Owns one reference to an interface and releases it when cleared.
template <typename I> class Ref {
public:
  Ref() = default;
  explicit Ref(I* adopt) : p_(adopt) {}
  Ref(const Ref& o) : p_(o.p_) {
    if (p_)
      p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { reset(); }

  void reset() {
    if (p_)
      std::exchange(p_, nullptr)->Release();
  }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  /// A new reference for handing out through an out-parameter.
  I* share() const {
    if (p_)
      p_->AddRef();
    return p_;
  }

private:
  I* p_ = nullptr;
};

} // namespace quorvel::mapi
