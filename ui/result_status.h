// `CResultStatus`: the repair summary. Shows, for each section of the scan
// the repair followed, how many errors were found, repaired and set aside,
// and the totals, as the engine's counters stand when Run() is called, and
// what the last repair took off the machine and what its backup holds. It
// keeps no state of its own. Interface thread only.
#pragma once

#include <array>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

class CResultStatus : public CBitmapDialog, public WindowInstance<CResultStatus> {
  Q_OBJECT

 public:
  static constexpr int kWidth = 510;
  static constexpr int kHeight = 446;
  static constexpr int kRows = kSectionCount;

  // engine must outlive the window.
  explicit CResultStatus(CSarvelEngine& engine, QWidget* parent = nullptr);

  // Fills the rows from the engine's counters (registry or privacy rows by
  // the engine's privacy-scan flag) and runs modally until Close or Escape.
  int Run();

  struct Row {
    CXColorStatic* name;
    CXColorStatic* found;
    CXColorStatic* repaired;
    CXColorStatic* ignored;
  };
  const Row& row(int section) const { return rows_[section]; }
  CXColorStatic* total_found() const { return total_found_; }
  CXColorStatic* total_repaired() const { return total_repaired_; }
  CXColorStatic* total_ignored() const { return total_ignored_; }
  CXColorStatic* figures() const { return figures_; }
  CBitmapButtonEx* close_button() const { return close_; }

 private:
  void Lay();

  CSarvelEngine& engine_;
  CXColorStatic* title_;
  std::array<Row, kRows> rows_{};
  CXColorStatic* total_found_;
  CXColorStatic* total_repaired_;
  CXColorStatic* total_ignored_;
  CXColorStatic* figures_;
  CBitmapButtonEx* close_;
};

}  // namespace orvane::ui
