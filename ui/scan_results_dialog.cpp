#include "ui/scan_results_dialog.h"

#include "ui/scan_result_container.h"
#include "ui/section_result_dialog.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/color_static.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

const QString kAppTitle = QStringLiteral("Orvane");
// The client area inside an outer frame of 526 x 481.
constexpr int kClientWidth = 520;
constexpr int kClientHeight = 455;

}  // namespace

CScanResultsDialog::CScanResultsDialog(CSarvelEngine& engine, Messenger& messenger, ResultsActions actions,
                                       QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), messenger_(messenger), actions_(std::move(actions)) {
  setWindowTitle(QStringLiteral("Repair Problems"));
  SetBackground(247);
  set_drag(true);
  setFixedSize(kClientWidth, kClientHeight);
  CentreOnWorkArea(this, 526, 461);

  MakeLabel(this, QRect(50, 30, 181, 21), QStringLiteral("SCAN RESULT"), 14, 400, QColor(0xC6, 0xF4, 0x37));
  header_ = MakeLabel(this, QRect(100, 100, 351, 21), QString(), 12, 700, Qt::white);
  list_ = new CScanResultContainer(this);
  list_->setGeometry(40, 182, 454, 176);
  list_->setAccessibleName(QStringLiteral("Problems found, by section"));
  list_->set_ignore_action([this](QWidget* over, const CError& record) { return IgnoreFinding(over, record); });
  total_ = MakeLabel(this, QRect(320, 373, 181, 21), QString(), 12, 700, QColor(0x98, 0x02, 0x09));
  report_ = MakeButton(this, 203, QRect(275, 410, 90, 21), QStringLiteral("Create Report"));
  repair_ = MakeButton(this, 203, QRect(370, 410, 121, 21), QStringLiteral("Repair Problems"));
  report_->SetMnemonic(u'c');
  repair_->SetMnemonic(u'r');
  connect(report_, &QPushButton::clicked, this, &CScanResultsDialog::OnCreateReport);
  connect(repair_, &QPushButton::clicked, this, &CScanResultsDialog::OnRepairProblems);
}

int CScanResultsDialog::BuildResults() {
  const int count = list_->Build(engine_.errors(), engine_.counters());
  header_->SetText(QStringLiteral("Attention!   %1 errors were found").arg(count));
  total_->SetText(QString::number(count));
  return count;
}

int CScanResultsDialog::Run() {
  BuildResults();
  return exec();
}

QString CScanResultsDialog::header_text() const { return header_->ShownText(); }
QString CScanResultsDialog::total_text() const { return total_->ShownText(); }

void CScanResultsDialog::Refresh() {
  if (actions_.refresh_problems) actions_.refresh_problems();
}

void CScanResultsDialog::TellNotKept() {
  messenger_.Tell(this, kAppTitle,
                  QStringLiteral("The errors that were not repaired could not be saved in %1. They are kept "
                                 "until the program ends.")
                      .arg(QString::fromStdWString(engine_.UnresolvedErrorsPath())),
                  Messenger::Icon::kWarning);
}

bool CScanResultsDialog::IgnoreFinding(QWidget* over, const CError& record) {
  IgnoreEntry entry;
  bool added = false;
  if (Status status = engine_.IgnoreFinding(record, &entry, &added); !status) {
    messenger_.Tell(over, kAppTitle,
                    QStringLiteral("This problem could not be added to the ignore list: %1")
                        .arg(QString::fromStdWString(status.message)),
                    Messenger::Icon::kWarning);
    return false;
  }
  const QString what = QString::fromStdWString(IgnoreEntryText(entry));
  // The entry on a line of its own: a long path breaks nowhere else.
  messenger_.Tell(over, kAppTitle,
                  (added ? QStringLiteral("From the next scan on, this is not reported:\n%1\n\nIt is left out of this "
                                          "repair too.")
                         : QStringLiteral("The ignore list already holds:\n%1\n\nIt is left out of this repair."))
                      .arg(what),
                  Messenger::Icon::kInformation);
  return true;
}

void CScanResultsDialog::OnRepairProblems() {
  // The set-aside records leave the list before the repair starts, so the
  // repair never sees them; they wait in the file of unresolved errors.
  SetAsideErrors aside = engine_.SetAsideUnselected(list_->SelectedFlags());
  Refresh();
  if (actions_.run_repair_progress) actions_.run_repair_progress();
  // Whatever the repair did not repair (it failed, or an abort ended it
  // first) joins them, so nothing found is lost.
  UnresolvedKept kept = engine_.KeepUnrepairedErrors(aside);
  Refresh();
  if (!kept.written) TellNotKept();
  repaired_ = true;
  if (actions_.run_repair_summary) actions_.run_repair_summary();
  accept();
}

void CScanResultsDialog::OnCreateReport() {
  ReportResult report = engine_.WriteReportOfList();
  if (!report.ok) {
    messenger_.Tell(this, kAppTitle, QStringLiteral("The program could not generate a report at this time. Please retry."),
                    Messenger::Icon::kInformation);
    return;
  }
  const QString question = QStringLiteral(
                               "The scan report has been saved in your Program Data folder (%1). Do you want to view "
                               "the report on your browser now (html format)?")
                               .arg(QString::fromStdWString(report.base_folder));
  if (!messenger_.Ask(this, kAppTitle, question)) return;
  if (actions_.open_url)
    actions_.open_url(QUrl::fromLocalFile(QString::fromStdString(engine_.platform().NativePath(report.file_name))));
}


}  // namespace orvane::ui
