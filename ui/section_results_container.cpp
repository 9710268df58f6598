#include "ui/section_results_container.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvane::ui {
namespace {

const QColor kEvenRow(0xF4, 0xF6, 0xD1);
const QColor kClickedRow(0xDB, 0xE1, 0x66);
const QColor kTypeColor(0x2D, 0x36, 0x3F);
const QColor kLineColor(0x80, 0x80, 0x80);

QFont PixelFont(int pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

CSectionResultsContainer::CSectionResultsContainer(QWidget* parent)
    : CRowList(kRowHeight, kEvenRow, parent), checked_(CheckBoxCell(true)), unchecked_(CheckBoxCell(false)) {
  setFocusPolicy(Qt::ClickFocus);
}

void CSectionResultsContainer::Fill(const CErrorListEx& list, CScanResultInfo* first, int count) {
  list_ = &list;
  first_ = first;
  count_ = first ? count : 0;
  last_clicked_ = -1;
  SetRowCount(count_);
  ScrollTo(0);
}

QString CSectionResultsContainer::DetailText(const CError& record) {
  const bool registry = record.errorType == ErrorType::RegistryValue || record.errorType == ErrorType::RegistryKey;
  QString text = QString::fromStdWString(registry ? record.reason + ViewMention(record.item.view) : record.filePath);
  return text.replace(u'\\', QStringLiteral("\\ "));
}

CError CSectionResultsContainer::RecordOf(int row) const {
  static const CError kNone;
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
  painter.fillRect(QRect(0, top, viewport()->width(), kRowHeight), background);
  const CError& record = RecordOf(row);
  // Texts from the machine are drawn as plain text: a name that looks like
  // markup shows as the characters it is.
  painter.setPen(kTypeColor);
  painter.setFont(PixelFont(14, true));
  painter.drawText(QRect(25, top + 5, 385, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::fromStdWString(record.typeText));
  painter.setFont(PixelFont(12, false));
  painter.drawText(QRect(QPoint(25, top + 20), QPoint(409, top + 54)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, DetailText(record));
  painter.setPen(kLineColor);
  painter.drawLine(0, top + 59, 600, top + 59);
  painter.drawImage(QPoint(5, top + 18), first_[row].selected ? checked_ : unchecked_);
}

void CSectionResultsContainer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return CRowList::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  ClickRow(RowAt(event->position().toPoint()));
}

}  // namespace orvane::ui
