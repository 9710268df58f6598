// `CAdvancedScan`: where the user picks the junk and privacy sections (13 to
// 21) and the browsers whose data the privacy sections clean. Confirming
// stores the browser choice and hands the section selection to the caller,
// which starts a privacy scan with it. The section boxes start checked at
// every opening; the browser boxes start from the settings. Interface
// thread only.
#pragma once

#include <array>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "model/sections.h"
#include "model/settings_store.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

class CAdvancedScan : public CBitmapDialog, public WindowInstance<CAdvancedScan> {
  Q_OBJECT

 public:
  // The client area is the picture's size; the position is reckoned from the
  // window's outer size.
  static constexpr int kWidth = 528;
  static constexpr int kHeight = 461;
  static constexpr int kOuterWidth = 525;
  static constexpr int kOuterHeight = 482;

  // Browser box ids.
  static constexpr int kInternetExplorer = 1245;
  static constexpr int kFirefox = 1244;
  static constexpr int kChrome = 1243;

  // settings, engine and messenger must outlive the dialog.
  CAdvancedScan(SettingsStore& settings, CSarvelEngine& engine, Messenger& messenger,
                QWidget* parent = nullptr);

  // Opens afresh and runs modally. Accepted when the user confirmed a
  // non-empty selection (then selection() holds it and the browser choice
  // is stored); Rejected after Escape or closing.
  int Run();
  // The 22 flags of the last confirmation, by section id; 0..12 are false.
  const std::array<bool, kSectionCount>& selection() const { return selection_; }

  // The opening: every section box checked, the browser boxes enabled by
  // installation and checked from the settings, then the browser rule. Run
  // does it; tests call it to look without running.
  void Open();
  // With no browser chosen the browser sections have nothing to clean:
  // their boxes are cleared and disabled; with one they are enabled, left as
  // they are.
  void ApplyBrowserRule();
  // The start button: refuses an empty selection; stores a changed browser
  // choice, which a machine that may not be changed now refuses (told, and
  // the dialog stays open); then ends with Accepted.
  void Confirm();

  // Null outside 13..21.
  CCheckBox* section_box(int section) const;
  CXColorStatic* section_label(int section) const;
  // By id (kInternetExplorer, kFirefox, kChrome); null for others.
  CCheckBox* browser_box(int id) const;
  CBitmapButtonEx* start_button() const { return start_; }

 private:
  void Lay();

  SettingsStore& settings_;
  CSarvelEngine& engine_;
  Messenger& messenger_;
  std::array<CCheckBox*, kSectionCount> boxes_{};
  std::array<CXColorStatic*, kSectionCount> labels_{};
  CCheckBox* internet_explorer_ = nullptr;
  CCheckBox* firefox_ = nullptr;
  CCheckBox* chrome_ = nullptr;
  CBitmapButtonEx* start_ = nullptr;
  std::array<bool, kSectionCount> selection_{};
};

}  // namespace orvane::ui
