#include "ui/scan_result_container.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "engine/engine.h"
#include "ui/section_result_dialog.h"
#include "ui/skin/skin_images.h"

namespace orvane::ui {
namespace {

const QColor kBackground(0xEE, 0xEE, 0xEE);
const QColor kNameColor(0x2D, 0x36, 0x3F);
const QColor kCountColor(0x98, 0x02, 0x09);
const QColor kLineColor(0xE1, 0xE1, 0xE1);
const QColor kSizeColor(0x4A, 0x58, 0x66);  // 6.3:1 on the rows

QFont RowFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(15);
  font.setBold(true);
  return font;
}

QFont SizeFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  return font;
}

}  // namespace

QString SizeLine(const FileTotals& files) {
  return QStringLiteral("%1 in %2 %3")
      .arg(QString::fromStdWString(ByteSizeText(files.bytes)))
      .arg(files.files)
      .arg(files.files == 1 ? QStringLiteral("file") : QStringLiteral("files"));
}

int SeverityImageId(int count) {
  if (count <= 0) return 0;
  if (count <= 30) return 252;
  if (count <= 60) return 253;
  if (count <= 90) return 254;
  if (count <= 120) return 255;
  return 256;
}

CScanResultContainer::CScanResultContainer(QWidget* parent)
    : CRowList(kRowHeight, kBackground, parent),
      checked_(CheckBoxCell(true)),
      unchecked_(CheckBoxCell(false)),
      details_icon_(SkinImage(248)) {
  for (int i = 0; i < 5; ++i) severity_[i] = SkinImage(252 + i);
}

int CScanResultContainer::Build(const CErrorListEx& list, const SectionCounters& counters) {
  list_ = &list;
  results_.clear();
  sections_.clear();
  last_clicked_ = -1;
  hover_row_ = -1;
  results_.reserve(list.GetCount());
  // Each run shows its section's files as the scan counts them: a folder
  // is no file.
  const ScanFileTotals totals = TotalsOf(list);
  int index_in_section = 0;
  for (int i = 0; i < list.GetCount(); ++i) {
    const int section = list[i].section;
    if (sections_.empty() || sections_.back().section != section) {
      CSectionResultInfo run;
      const SectionCounter* counter = counters.Find(section);
      run.count = counter ? counter->found : 0;
      run.section = section;
      run.row = static_cast<int>(sections_.size());
      run.first = i;
      if (section >= 0 && section < kSectionCount) run.files = totals.sections[section];
      sections_.push_back(run);
      index_in_section = 0;
    }
    ++sections_.back().size;
    results_.push_back(CScanResultInfo{i, section, index_in_section++, true});
  }
  SetRowCount(static_cast<int>(sections_.size()));
  ScrollTo(0);
  return static_cast<int>(results_.size());
}

std::vector<bool> CScanResultContainer::SelectedFlags() const {
  std::vector<bool> flags(results_.size());
  for (size_t i = 0; i < results_.size(); ++i) flags[i] = results_[i].selected;
  return flags;
}

QRect CScanResultContainer::CheckBoxRect(int row) { return QRect(5, kRowHeight * row + 10, 13, 13); }

QRect CScanResultContainer::DetailsIconRect(int row) { return QRect(200, kRowHeight * row + 10, 16, 16); }

void CScanResultContainer::ToggleRow(int row) {
  if (row < 0 || row >= static_cast<int>(sections_.size())) return;
  CSectionResultInfo& run = sections_[row];
  run.checked = !run.checked;
  // The run's own records only: the found counter can exceed the run when a
  // section's records stand in more than one run.
  for (int i = run.first; i < run.first + run.size; ++i) results_[i].selected = run.checked;
  UpdateRow(row);
}

int CScanResultContainer::OpenDetails(int row) {
  if (!list_ || row < 0 || row >= static_cast<int>(sections_.size())) return 0;
  const CSectionResultInfo& run = sections_[row];
  CSectionResultDialog details(QString::fromStdWString(CSarvelEngine::SectionName(run.section)), *list_,
                               &results_[run.first], run.size, window());
  details.set_ignore_action(ignore_action_);
  const int result = details.exec();
  // Rows ignored there are no longer part of the repair.
  UpdateRow(row);
  return result;
}

void CScanResultContainer::PaintRow(QPainter& painter, int row, int top) {
  const CSectionResultInfo& run = sections_[row];
  const QImage& box = run.checked ? checked_ : unchecked_;
  painter.drawImage(QPoint(5, top + 10), box);
  painter.setFont(RowFont());
  painter.setPen(kNameColor);
  // Cut short before the details icon rather than run under it. A section
  // of files has its size on a second line under the name.
  const bool sized = run.files.files > 0;
  const QRect name_box(25, top + (sized ? 2 : 10), 172, 20);
  painter.drawText(name_box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(QString::fromStdWString(CSarvelEngine::SectionName(run.section)),
                                                    Qt::ElideRight, name_box.width()));
  if (sized) {
    painter.setFont(SizeFont());
    painter.setPen(kSizeColor);
    painter.drawText(QRect(25, top + 19, 172, 14), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     SizeLine(run.files));
  }
  painter.setPen(kCountColor);
  painter.drawText(QRect(QPoint(240, top + 10), QPoint(269, top + 29)), Qt::AlignRight | Qt::AlignTop,
                   QString::number(run.count));
  painter.drawImage(QPoint(200, top + 10), details_icon_);
  if (int id = SeverityImageId(run.count)) painter.drawImage(QPoint(290, top), severity_[id - 252]);
  painter.setPen(kLineColor);
  painter.drawLine(0, top + 34, 600, top + 34);
}

void CScanResultContainer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return CRowList::mousePressEvent(event);
  const QPoint at = event->position().toPoint();
  const int row = RowAt(at);
  setFocus(Qt::MouseFocusReason);
  if (row < 0) return;
  last_clicked_ = row;
  const QPoint in_list(at.x(), at.y() + scroll_position());
  if (CheckBoxRect(row).contains(in_list)) {
    ToggleRow(row);
  } else if (DetailsIconRect(row).contains(in_list)) {
    SetHover(-1);
    OpenDetails(row);
  }
}

void CScanResultContainer::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const int row = RowAt(at);
  const bool on_icon = row >= 0 && DetailsIconRect(row).contains(QPoint(at.x(), at.y() + scroll_position()));
  SetHover(on_icon ? row : -1);
  CRowList::mouseMoveEvent(event);
}

void CScanResultContainer::leaveEvent(QEvent* event) {
  SetHover(-1);
  CRowList::leaveEvent(event);
}

void CScanResultContainer::SetHover(int row) {
  if (row == hover_row_) return;
  if (hover_row_ >= 0 && hover_row_ < static_cast<int>(sections_.size())) sections_[hover_row_].hover = false;
  hover_row_ = row;
  if (row >= 0) {
    sections_[row].hover = true;
    viewport()->setCursor(Qt::PointingHandCursor);
  } else {
    viewport()->setCursor(Qt::ArrowCursor);
  }
}

}  // namespace orvane::ui
