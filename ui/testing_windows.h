// For the window tests: an engine over a temporary prefix whose workers post
// through a real EventBridge, a recording messenger, and helpers to act
// while a window runs modally.
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/engine.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "ui/event_bridge.h"
#include "ui/testing_messenger.h"

namespace orvane::ui::testing {

// Runs the interface thread's queue until done() holds or 20 s passed;
// returns done().
inline bool WaitUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// Calls run() (a window's modal Run) and, once its loop runs, act(). A window
// still open 30 s later is closed, so a fault fails the test instead of
// hanging it.
inline int WhileRunning(QDialog& window, const std::function<int()>& run,
                        const std::function<void()>& act) {
  // A timer event rather than a posted call, so act() does not run nested
  // inside the delivery of posted events (whose later ones would wait).
  QTimer::singleShot(5, &window, act);
  QTimer::singleShot(30000, &window, [&window] { window.done(-1); });
  return run();
}

class WindowFixture {
 public:
  // pacer: null records pauses without waiting.
  CSarvelEngine& Engine(Pacer* pacer = nullptr) {
    if (!engine_) {
      platform_ = prefix_.Open();
      EngineOptions options;
      options.target = &bridge_;
      options.pacer = pacer ? pacer : &recording_pacer_;
      options.state = &state_;
      engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    }
    return *engine_;
  }

  // A value under HKEY_CURRENT_USER\Software\Test that a repair removes, and
  // its record in section.
  CError ValueRecord(int32_t section, const std::wstring& name) {
    prefix_.String(HKEY_CURRENT_USER, L"Software\\Test", name, L"C:\\gone\\" + name + L".exe");
    CError e;
    e.section = section;
    e.errorType = ErrorType::RegistryValue;
    e.filePath = L"C:\\gone\\" + name + L".exe";
    e.item.valueType = REG_SZ;
    e.item.rootKey = HKEY_CURRENT_USER;
    e.item.rootName = L"HKEY_CURRENT_USER";
    e.item.subKey = L"Software\\Test";
    e.item.valueName = name;
    e.item.valueData = e.filePath;
    return e;
  }

  bool ValueExists(const std::wstring& name) {
    HKEY key;
    if (platform_->OpenKey(HKEY_CURRENT_USER, L"Software\\Test", KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    DWORD type = 0;
    std::string data;
    LONG rc = platform_->QueryValue(key, name, &type, &data, 0xFFFFFFFFu);
    platform_->CloseKey(key);
    return rc == ERROR_SUCCESS;
  }

  orvane::testing::TempPrefix prefix_;
  orvane::testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  EventBridge bridge_;
  RecordingMessenger messenger_;
  RecordingPacer recording_pacer_;
  std::unique_ptr<CSarvelEngine> engine_;
};

}  // namespace orvane::ui::testing
