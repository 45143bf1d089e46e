// IUnknown, a counted interface pointer and a reference-counted object base.
#pragma once

#include "com/comdefs.h"

#include <atomic>
#include <tuple>
#include <type_traits>
#include <utility>

namespace quorvel::com {

inline constexpr IID IID_IUnknown = makeGuid("00000000-0000-0000-C000-000000000046");

/// The root of every interface. Each interface struct names its id as
/// `uuid` and, when it derives from another interface than IUnknown, that
/// interface as `Base`, so that Object and ComPtr find both.
struct IUnknown {
  static constexpr const IID& uuid = IID_IUnknown;
  virtual HRESULT QUORVEL_STDCALL QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG QUORVEL_STDCALL AddRef() = 0;
  virtual ULONG QUORVEL_STDCALL Release() = 0;

protected:
  ~IUnknown() = default; // objects go away through Release only
};

/// Holds one reference to an interface; copies add one, destruction and
/// reassignment release it (the shape of the usual smart interface pointer).
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  /// Takes a new reference to \p p.
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { reset(); }
  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) {
    ComPtr(p).swap(*this);
    return *this;
  }

  /// Adopts a reference the caller already owns (no AddRef).
  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  /// Gives up the reference without releasing it.
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  /// Releases the current reference and gives the slot to an out argument.
  T** put() {
    reset();
    return &p_;
  }
  /// The same slot as a void** for QueryInterface-like calls.
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  /// QueryInterface for \p U (by U::uuid); empty when not granted.
  template <class U>
  ComPtr<U> query() const {
    return query<U>(U::uuid);
  }
  /// QueryInterface for \p iid, used as \p U; empty when not granted.
  template <class U>
  ComPtr<U> query(REFIID iid) const {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(iid, r.putVoid());
    return r;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

private:
  T* p_ = nullptr;
};

namespace detail {
template <class I>
concept HasBase = requires { typename I::Base; };

/// The pointer for \p riid when it names \p I or one of its bases.
template <class I, class Self>
void* findInterface(Self* self, REFIID riid) {
  if (riid == I::uuid) return static_cast<I*>(self);
  if constexpr (HasBase<I>)
    if (void* p = findInterface<typename I::Base>(static_cast<I*>(self), riid)) return p;
  return nullptr;
}
} // namespace detail

/// A reference-counted object implementing \p Interfaces: QueryInterface
/// answers IUnknown (as the first interface), every listed interface and
/// their declared bases, and whatever queryOther adds. The object starts
/// with a count of 0 and deletes itself when Release brings it back to 0;
/// create it with `new` and hand it out through QueryInterface or a ComPtr.
template <class... Interfaces>
class Object : public Interfaces... {
  static_assert(sizeof...(Interfaces) > 0);

public:
  HRESULT QUORVEL_STDCALL QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    void* p = nullptr;
    if (riid == IID_IUnknown) {
      p = identity();
    } else {
      ((p = p ? p : detail::findInterface<Interfaces>(this, riid)), ...);
      if (!p) p = queryOther(riid);
    }
    if (!p) return E_NOINTERFACE;
    AddRef();
    *ppv = p;
    return S_OK;
  }
  ULONG QUORVEL_STDCALL AddRef() override { return ++refs_; }
  ULONG QUORVEL_STDCALL Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  /// The object's IUnknown identity (its first interface).
  IUnknown* identity() { return static_cast<FirstInterface*>(this); }
  /// The current count, for tests.
  ULONG refCount() const { return refs_; }

protected:
  Object() = default;
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  /// Further interfaces (tear-offs, aliases); nullptr when not supported.
  /// The caller adds the reference.
  virtual void* queryOther(REFIID) { return nullptr; }

private:
  using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  std::atomic<ULONG> refs_{0};
};

} // namespace quorvel::com
