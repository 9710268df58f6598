// `CScanResultContainer`: the results window's summary list, one 35-pixel
// row per run of records of one section, with the row's check box, the
// section name, the count, the details icon and the severity bar. It owns
// the entries that say which records are selected for the repair.
// Interface thread only.
#pragma once

#include <QImage>
#include <vector>

#include "ui/window_instance.h"
#include "model/error_list.h"
#include "model/sizes.h"
#include "ui/result_entry.h"
#include "ui/row_list.h"

namespace orvane::ui {

// One per run of consecutive records of one section.
struct CSectionResultInfo {
  int count = 0;     // the section's found counter when built (shown)
  int size = 0;      // records in the run; the check box and the details take these
  int section = 0;
  bool checked = true;
  int row = 0;
  int first = 0;     // index of the run's first CScanResultInfo
  bool hover = false;
  FileTotals files;  // the run's file findings and their bytes (none: no size line)
};

// The severity picture for a count: 252 (1..30), 253 (..60), 254 (..90),
// 255 (..120), 256 above; 0 (none) for counts of 0 or less.
int SeverityImageId(int count);
// "1.4 MB in 3 files": the second line of a section that holds files.
QString SizeLine(const FileTotals& files);

class CScanResultContainer : public CRowList, public WindowInstance<CScanResultContainer> {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 35;

  explicit CScanResultContainer(QWidget* parent = nullptr);

  // Discards what the list held, scrolls to the top and builds the entries
  // from list (which must stay unchanged while the list is shown) and the
  // counters. Returns the number of records.
  int Build(const CErrorListEx& list, const SectionCounters& counters);

  const std::vector<CScanResultInfo>& results() const { return results_; }
  const std::vector<CSectionResultInfo>& sections() const { return sections_; }
  // One flag per record of the list, in list order: true to repair it.
  std::vector<bool> SelectedFlags() const;
  int last_clicked() const { return last_clicked_; }

  // Where a row's check box and details icon are, in list coordinates
  // (scroll position not subtracted).
  static QRect CheckBoxRect(int row);
  static QRect DetailsIconRect(int row);

  // Toggles a row's check box and the selection of its records.
  void ToggleRow(int row);
  // Runs the detail window for a row modally; its result.
  int OpenDetails(int row);
  // What the detail windows' "Always ignore this" does (none: no such menu).
  void set_ignore_action(IgnoreAction action) { ignore_action_ = std::move(action); }
  const IgnoreAction& ignore_action() const { return ignore_action_; }

 protected:
  void PaintRow(QPainter& painter, int row, int top) override;
  // Space ticks the current row's box, Enter opens its details.
  void ToggleRowByKey(int row) override { ToggleRow(row); }
  void OpenRowByKey(int row) override { OpenDetails(row); }
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetHover(int row);

  const CErrorListEx* list_ = nullptr;
  std::vector<CScanResultInfo> results_;
  std::vector<CSectionResultInfo> sections_;
  int last_clicked_ = -1;
  int hover_row_ = -1;
  QImage checked_, unchecked_, details_icon_;
  QImage severity_[5];  // 252..256
  IgnoreAction ignore_action_;
};

}  // namespace orvane::ui
