// The one open window of a class, for the code that must reach it from
// outside the window tree (the tray, the single-instance signal, tests).
// Interface thread only.
#pragma once

namespace orvane::ui {

template <typename T>
class WindowInstance {
 public:
  // The live window, or null.
  static T* Instance() { return instance_; }

 protected:
  WindowInstance() { instance_ = static_cast<T*>(this); }
  ~WindowInstance() {
    if (instance_ == this) instance_ = nullptr;
  }
  WindowInstance(const WindowInstance&) = delete;
  WindowInstance& operator=(const WindowInstance&) = delete;

 private:
  static inline T* instance_ = nullptr;
};

}  // namespace orvane::ui
