// Entry points of the Firebird client library and the conversion of its errors into
// EDatabaseError. Internal to the component layer.
#pragma once

#include <firebird/Interface.h>

#include <string>
#include <utility>

#include "global/database_error.h"

namespace korvel::fib {

Firebird::IMaster* Master();
Firebird::IUtil* Util();
Firebird::IProvider* Provider();

// The error of a status vector, with every ISC code and the server's text.
EDatabaseError ToDatabaseError(const Firebird::IStatus* status);

// A throwing status wrapper that lives for one call sequence.
class Status {
 public:
  Status() : wrapper_(Master()->getStatus()) {}
  ~Status() { wrapper_.dispose(); }
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;
  Firebird::ThrowStatusWrapper* operator&() { return &wrapper_; }

 private:
  Firebird::ThrowStatusWrapper wrapper_;
};

// Runs f, turning a client-library exception into EDatabaseError.
template <class F>
decltype(auto) Call(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const Firebird::FbException& e) {
    throw ToDatabaseError(e.getStatus());
  }
}

// Firebird dates count days from 1858-11-17; the program's from 1899-12-30.
constexpr int kIscDateOffset = 15018;

}  // namespace korvel::fib
