#pragma once
// The base of the objects that take part in the interface: the application, views and
// view controllers. Interface files connect their objects to an owner of this kind.
class UIResponder {
 public:
  virtual ~UIResponder() = default;
};
