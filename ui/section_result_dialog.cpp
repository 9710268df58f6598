#include "ui/section_result_dialog.h"

#include "ui/section_results_container.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/color_static.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

// The client area inside an outer frame of 526 x 481.
constexpr int kClientWidth = 520;
constexpr int kClientHeight = 455;

}  // namespace

CSectionResultDialog::CSectionResultDialog(const QString& section_name, const CErrorListEx& list,
                                           CScanResultInfo* first, int count, QWidget* parent)
    : CBitmapDialog(parent), first_(first), count_(first ? count : 0) {
  setWindowTitle(QStringLiteral("Scanning results by section"));
  SetBackground(200);
  set_drag(true);
  setFixedSize(kClientWidth, kClientHeight);
  CentreOnWorkArea(this, 526, 461);

  saved_.reserve(count_);
  for (int i = 0; i < count_; ++i) saved_.push_back(first_[i].selected);
  ignored_.assign(count_, false);

  MakeLabel(this, QRect(50, 30, 181, 45), section_name, 14, 400, QColor(0xC6, 0xF4, 0x37))->setWordWrap(true);
  problems_ = MakeLabel(this, QRect(50, 100, 351, 21), QStringLiteral("%1 Problem(s) were found in this section.").arg(count_),
                    9, 700, Qt::black);
  MakeLabel(this, QRect(50, 120, 351, 21), QStringLiteral("Manually select / deselect errors for custom Registry repair."),
        9, 400, Qt::black);

  list_ = new CSectionResultsContainer(this);
  list_->setGeometry(50, 140, 430, 252);
  list_->setAccessibleName(QStringLiteral("Problems of this section"));
  list_->Fill(list, first_, count_);

  save_ = new CBitmapButtonEx(this);
  save_->SetUp(202, 202, QPoint(300, 410), QStringLiteral("Save"), 8);
  save_->resize(81, 21);
  save_->set_text_rect(save_->rect());
  cancel_ = new CBitmapButtonEx(this);
  cancel_->SetUp(202, 202, QPoint(400, 410), QStringLiteral("Cancel"), 8);
  cancel_->resize(81, 21);
  cancel_->set_text_rect(cancel_->rect());
  save_->SetMnemonic(u's');
  cancel_->SetMnemonic(u'c');
  connect(list_, &CSectionResultsContainer::IgnoreRequested, this, &CSectionResultDialog::OnIgnoreRow);
  connect(save_, &QPushButton::clicked, this, &CSectionResultDialog::OnSave);
  connect(cancel_, &QPushButton::clicked, this, &CSectionResultDialog::OnCancel);
  // Enter is not "Save" by accident of being the default button.
  save_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
}

QString CSectionResultDialog::problems_text() const { return problems_->ShownText(); }

void CSectionResultDialog::OnSave() { accept(); }

void CSectionResultDialog::OnCancel() {
  for (int i = 0; i < count_; ++i) first_[i].selected = saved_[i] && !ignored_[i];
  reject();
}

void CSectionResultDialog::set_ignore_action(IgnoreAction action) {
  ignore_action_ = std::move(action);
  list_->set_row_menu(static_cast<bool>(ignore_action_));
}

void CSectionResultDialog::OnIgnoreRow(int row) {
  if (!ignore_action_ || row < 0 || row >= count_) return;
  if (!ignore_action_(this, list_->RecordAt(row))) return;
  ignored_[row] = true;
  first_[row].selected = false;
  list_->UpdateRow(row);
}

}  // namespace orvane::ui
