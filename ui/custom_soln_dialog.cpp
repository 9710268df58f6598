#include "ui/custom_soln_dialog.h"

#include "ui/skin/skin_images.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kWidth = 528;
constexpr int kHeight = 481;
constexpr int kBackground = 200;
constexpr int kButtonImage = 202;
const QString kCaption = QStringLiteral("Orvane");
const QString kNotAvailable = QStringLiteral(
    "Your customized PC repair solution is not available yet. Please allow 24-48 hours. When the solution is "
    "ready, the button below will become active.");

}  // namespace

CCustomSolnDialog::CCustomSolnDialog(SolutionExecutor& executor, Messenger& messenger, QueryStatus query_status,
                                     QWidget* parent)
    : CBitmapDialog(parent), executor_(executor), messenger_(messenger), query_status_(std::move(query_status)) {
  setWindowTitle(QStringLiteral("Custom Solution"));
  heading_ = MakeLabel(this, {20, 15, 300, 25}, QString(), 14, 400, QColor(0xC6, 0xF4, 0x37));
  heading_->setObjectName(QStringLiteral("1054"));
  status_caption_ = MakeLabel(this, {35, 100, 200, 18}, QString(), 9, 700, Qt::black);
  status_caption_->setObjectName(QStringLiteral("1069"));
  status_ = MakeLabel(this, {35, 120, 458, 44}, QString(), 9, 400, Qt::black);
  status_->setObjectName(QStringLiteral("1044"));
  status_->setWordWrap(true);
  instructions_caption_ = MakeLabel(this, {35, 170, 200, 18}, QString(), 9, 700, Qt::black);
  instructions_caption_->setObjectName(QStringLiteral("1068"));
  instructions_ = new QPlainTextEdit(this);
  instructions_->setObjectName(QStringLiteral("1043"));
  // The staff's text is shown as it is, never as markup.
  instructions_->setReadOnly(true);
  instructions_->setGeometry(35, 192, 458, 222);
  run_ = MakeButton(this, kButtonImage, {184, 430, 160, 21}, QStringLiteral("Run Custom Solution"), 1045);
  run_->SetMnemonic(u'r');
  connect(run_, &QPushButton::clicked, this, &CCustomSolnDialog::RunSolution);
  Lay();
}

void CCustomSolnDialog::Lay() {
  // The artwork is 20 pixels shorter than this window; stretched rather than
  // leaving a band of plain background under it.
  SetBackground(SkinImage(kBackground, devicePixelRatioF(), QSize(kWidth, kHeight)));
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);
  heading_->SetText(QStringLiteral("ADVANCED REPAIR"));
  status_caption_->SetText(QStringLiteral("Solution Status:"));
  instructions_caption_->SetText(QStringLiteral("Instructions:"));
  status_->SetText(kNotAvailable);
}

void CCustomSolnDialog::Open() {
  Lay();
  std::wstring comments, commands, problem;
  if (query_status_ && query_status_(&comments, &commands, &problem)) {
    status_->SetText(QStringLiteral("The solution is available. Please read the instructions below."));
    instructions_->setPlainText(QString::fromStdWString(comments));
    script_ = std::move(commands);
    run_->setEnabled(true);
  } else {
    ShowNotAvailable(problem);
  }
}

int CCustomSolnDialog::Run() {
  Open();
  return exec();
}

void CCustomSolnDialog::ShowNotAvailable(const std::wstring& problem) {
  script_.clear();
  run_->setEnabled(false);
  // "Please allow 24-48 hours" only where a report is waiting for the staff.
  status_->SetText(problem.empty() ? kNotAvailable : QString::fromStdWString(problem));
  instructions_->setPlainText(QStringLiteral("Not Yet Available."));
}

void CCustomSolnDialog::RunSolution() {
  // Used once: the stored log id is forgotten by the run, so the script
  // must not be applied a second time from this window.
  const std::wstring script = std::move(script_);
  script_.clear();
  run_->setEnabled(false);
  const std::wstring report = executor_.ApplySolution(script);
  messenger_.Tell(this, kCaption, QString::fromStdWString(report));
  if (report == kNoActionReport) accept();
}

}  // namespace orvane::ui
