#include "ui/send_log_dialog.h"

#include <QApplication>
#include <QCursor>

#include "model/settings_store.h"
#include "support/support_desk.h"
#include "support/system_report.h"
#include "ui/support_messenger.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 320;
constexpr int kButtonImage = 202;
const QString kCaption = QStringLiteral("Orvane");

// Qt's plain-text boxes show "\r" as a character of its own.
QString Shown(const std::wstring& text) {
  QString shown = QString::fromStdWString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace

CSendLogDialog::CSendLogDialog(CSarvelEngine& engine, HttpClient& http, Messenger& messenger, QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), http_(http), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Send Report"));
  const QColor black(Qt::black);
  heading_ = MakeLabel(this, {20, 16, 300, 30}, QStringLiteral("ADVANCED REPAIR"), 14, QFont::Bold,
                       QColor(0xC6, 0xF4, 0x37));
  heading_->setObjectName(QStringLiteral("1054"));
  explanation_ =
      MakeLabel(this, {20, 70, 486, 48},
                QStringLiteral("Do you need a personalized PC repair solution? Describe your problem in "
                               "details and send us your PC scan log report. One of our software "
                               "Engineers will analyze your case and help you solve your technical "
                               "issues."),
                8, QFont::Normal, black);
  explanation_->setObjectName(QStringLiteral("1055"));
  caption_ = MakeLabel(this, {26, 130, 470, 16}, QStringLiteral("Below is the Scan log report of your PC."),
                       8, QFont::Bold, black);
  caption_->setObjectName(QStringLiteral("1061"));
  report_ = new QPlainTextEdit(this);
  report_->setObjectName(QStringLiteral("1041"));
  report_->setReadOnly(true);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  name_label_ = MakeLabel(this, {26, 314, 88, 18}, QStringLiteral("Name:"), 8, QFont::Normal, black);
  name_label_->setObjectName(QStringLiteral("1072"));
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("1044"));
  email_label_ = MakeLabel(this, {26, 342, 88, 18}, QStringLiteral("Email:"), 8, QFont::Normal, black);
  email_label_->setObjectName(QStringLiteral("1070"));
  email_ = new QLineEdit(this);
  email_->setObjectName(QStringLiteral("1042"));
  description_label_ =
      MakeLabel(this, {26, 370, 88, 18}, QStringLiteral("Description:"), 8, QFont::Normal, black);
  description_label_->setObjectName(QStringLiteral("1071"));
  description_ = new QPlainTextEdit(this);
  description_->setObjectName(QStringLiteral("1043"));
  description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  description_->setTabChangesFocus(true);
  send_ = MakeButton(this, kButtonImage, {306, 442, 100, 24}, QStringLiteral("Send Report"), 1);
  cancel_ = MakeButton(this, kButtonImage, {416, 442, 90, 24}, QStringLiteral("Cancel"), 2);
  send_->SetMnemonic(u's');
  cancel_->SetMnemonic(u'c');
  connect(send_, &QPushButton::clicked, this, &CSendLogDialog::Send);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  Lay();
}

void CSendLogDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);
  report_->setGeometry(26, 150, 474, 134);
  name_->setGeometry(118, 311, 382, 22);
  email_->setGeometry(118, 339, 382, 22);
  description_->setGeometry(118, 367, 382, 56);
}

void CSendLogDialog::Prepare() {
  Lay();
  name_->clear();
  email_->clear();
  description_->clear();
  SystemReport report = BuildSystemReport(engine_.platform());
  upload_ = std::move(report.upload);
  report_->setPlainText(Shown(report.display));
  name_->setFocus();
}

int CSendLogDialog::Run() {
  Prepare();
  return exec();
}

void CSendLogDialog::Send() {
  const std::wstring name = name_->text().toStdWString();
  const std::wstring email = email_->text().toStdWString();
  const std::wstring description = description_->toPlainText().toStdWString();
  if (std::wstring missing = CheckSendFields(name, email, description); !missing.empty()) {
    messenger_.Tell(this, kCaption, QString::fromStdWString(missing));
    return;
  }
  SupportMessenger messages(messenger_, this);
  SettingsStore settings(engine_.platform());
  SupportDesk desk(engine_.platform(), http_, SupportEndpoint(settings), messages);
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  int sent =
      desk.SendComputerLog(email, description, upload_, ProductVersionText(engine_.GetProductVersion()));
  QApplication::restoreOverrideCursor();
  // A failure was told by the desk already, in its own words; a second box
  // with other words would only contradict it.
  if (sent == 1) accept();
}

}  // namespace orvane::ui
