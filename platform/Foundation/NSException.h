#pragma once
#include <exception>
#include <string>

// The platform's exception object: a name and a reason.
class NSException : public std::exception {
 public:
  NSException(std::string name, std::string reason);
  [[noreturn]] static void raise(const std::string& name, const std::string& reason);

  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const char* what() const noexcept override { return reason_.c_str(); }

 private:
  std::string name_;
  std::string reason_;
};
