// A non-owning reference to a callable, for a function that calls back
// while it runs and keeps nothing: two pointers, no allocation, one
// indirect call. The callable must outlive the call it is passed to.
//
// A result returned by value is constructed where the caller of
// operator() puts it (each step returns the same prvalue), so a callback
// can build a value straight into its final place.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace q6 {

template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
 public:
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
           std::is_invocable_r_v<R, F&, Args...>) FunctionRef(F&& f)
  noexcept  // NOLINT(google-explicit-constructor): passed as a lambda
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        call_([](void* object, Args... args) -> R {
          return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

}  // namespace q6
