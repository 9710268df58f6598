#include "ui/section_results_container.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "model/sizes.h"

namespace orvane::ui {
namespace {

const QColor kEvenRow(0xF4, 0xF6, 0xD1);
const QColor kClickedRow(0xDB, 0xE1, 0x66);
const QColor kTypeColor(0x2D, 0x36, 0x3F);
const QColor kLineColor(0x80, 0x80, 0x80);

// The detail text's box in a row: from 20 pixels down, 385 wide, with 6
// pixels under its last line (a row of two lines keeps its 60 pixels).
constexpr int kDetailTop = 20;
constexpr int kDetailWidth = 385;
constexpr int kDetailBottomGap = 6;
constexpr int kDetailPixels = 12;
constexpr int kDetailFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QFont PixelFont(int pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

CSectionResultsContainer::CSectionResultsContainer(QWidget* parent)
    : CRowList(kRowHeight, kEvenRow, parent), checked_(CheckBoxCell(true)), unchecked_(CheckBoxCell(false)) {
}

void CSectionResultsContainer::Fill(const CErrorListEx& list, CScanResultInfo* first, int count) {
  list_ = &list;
  first_ = first;
  count_ = first ? count : 0;
  last_clicked_ = -1;
  std::vector<int> heights;
  heights.reserve(count_);
  for (int row = 0; row < count_; ++row) heights.push_back(RowHeightFor(RecordAt(row)));
  SetRowHeights(heights);
  ScrollTo(0);
}

QString CSectionResultsContainer::DetailText(const CError& record) {
  const bool registry = record.errorType == ErrorType::RegistryValue || record.errorType == ErrorType::RegistryKey;
  QString text = QString::fromStdWString(registry ? record.reason + ViewMention(record.item.view) : record.filePath);
  return text.replace(u'\\', QStringLiteral("\\ "));
}

int CSectionResultsContainer::RowHeightFor(const CError& record) {
  const QRect text = QFontMetrics(PixelFont(kDetailPixels, false))
                         .boundingRect(QRect(0, 0, kDetailWidth, 1 << 20), kDetailFlags, DetailText(record));
  return std::max(kRowHeight, kDetailTop + text.height() + kDetailBottomGap);
}

CError CSectionResultsContainer::RecordAt(int row) const {
  static const CError kNone;
  if (row < 0 || row >= count_) return kNone;
  const int index = first_[row].list_index;
  return index >= 0 && index < list_->GetCount() ? (*list_)[index] : kNone;
}

void CSectionResultsContainer::ClickRow(int row) {
  if (row < 0 || row >= count_) return;
  first_[row].selected = !first_[row].selected;
  const int previous = last_clicked_;
  last_clicked_ = row;
  UpdateRow(row);
  if (previous != row) UpdateRow(previous);
}

void CSectionResultsContainer::PaintRow(QPainter& painter, int row, int top) {
  const QColor background = row == last_clicked_ ? kClickedRow : (row % 2 == 0 ? kEvenRow : QColor(Qt::white));
  const int height = RowHeight(row);
  painter.fillRect(QRect(0, top, viewport()->width(), height), background);
  const CError& record = RecordAt(row);
  // Texts from the machine are drawn as plain text: a name that looks like
  // markup shows as the characters it is.
  painter.setPen(kTypeColor);
  painter.setFont(PixelFont(14, true));
  const bool sized = IsFileFinding(record) && !IsFolderFinding(record);
  painter.drawText(QRect(25, top + 5, sized ? 300 : 385, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::fromStdWString(record.typeText));
  if (sized) {
    painter.setFont(PixelFont(kDetailPixels, true));
    painter.drawText(QRect(330, top + 5, 80, 16), Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                     QString::fromStdWString(ByteSizeText(record.size)));
  }
  painter.setFont(PixelFont(kDetailPixels, false));
  painter.drawText(QRect(25, top + kDetailTop, kDetailWidth, height - kDetailTop - kDetailBottomGap), kDetailFlags,
                   DetailText(record));
  painter.setPen(kLineColor);
  painter.drawLine(0, top + height - 1, 600, top + height - 1);
  painter.drawImage(QPoint(5, top + 18), first_[row].selected ? checked_ : unchecked_);
}

void CSectionResultsContainer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return CRowList::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  ClickRow(RowAt(event->position().toPoint()));
}

void CSectionResultsContainer::ShowRowMenu(int row, QPoint global) {
  if (!row_menu_ || row < 0 || row >= count_) return;
  QMenu menu(this);
  menu.setAccessibleName(QStringLiteral("Problem"));
  QAction* ignore = menu.addAction(QStringLiteral("&Always ignore this"));
  if (menu.exec(global) == ignore) emit IgnoreRequested(row);
}

void CSectionResultsContainer::contextMenuEvent(QContextMenuEvent* event) {
  if (!row_menu_) return CRowList::contextMenuEvent(event);
  int row = current_row();
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Mouse) {
    row = RowAt(event->pos());
    if (row >= 0) SetCurrentRow(row);
  } else if (row >= 0) {
    at = viewport()->mapToGlobal(RowRect(row).topLeft() + QPoint(25, 20));
  }
  event->accept();
  ShowRowMenu(row, at);
}

void CSectionResultsContainer::keyPressEvent(QKeyEvent* event) {
  const bool menu_key =
      event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (row_menu_ && menu_key && current_row() >= 0) {
    event->accept();
    ShowRowMenu(current_row(), viewport()->mapToGlobal(RowRect(current_row()).topLeft() + QPoint(25, 20)));
    return;
  }
  CRowList::keyPressEvent(event);
}

}  // namespace orvane::ui
