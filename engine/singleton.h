// A process-wide pointer to the one object of a class while it exists.
#pragma once

namespace orvane {

template <typename T>
class CSingleton {
 public:
  // The live object, or null.
  static T* Instance() { return instance_; }

 protected:
  CSingleton() { instance_ = static_cast<T*>(this); }
  ~CSingleton() {
    if (instance_ == this) instance_ = nullptr;
  }
  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 private:
  static inline T* instance_ = nullptr;
};

}  // namespace orvane
