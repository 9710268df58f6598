// `CSendLogDialog`: shows the system report of the machine and sends it,
// with the user's e-mail address and description of the problem, to the
// support staff. Nothing leaves the machine until the user presses
// "Send Report" with every field filled in. Interface thread only; the send
// blocks the window until the service answers or the transport gives up.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>

#include "engine/engine.h"
#include "platform/http.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

class CSendLogDialog : public CBitmapDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 526;
  static constexpr int kHeight = 481;

  // engine, http and messenger must outlive the dialog. The service's
  // endpoint is read from the settings at each send.
  CSendLogDialog(CSarvelEngine& engine, HttpClient& http, Messenger& messenger, QWidget* parent = nullptr);

  // Empties the fields, builds the system report, shows it and runs
  // modally: Accepted once a report was accepted, Rejected on Cancel.
  int Run();
  // Fills the window as Run does, without running it (for a look at it).
  void Prepare();
  // The "Send Report" button: checks the fields (telling the user what is
  // missing), sends, and closes as accepted when the service took it.
  void Send();

  const std::wstring& upload_text() const { return upload_; }
  QPlainTextEdit* report_box() const { return report_; }
  QLineEdit* name_edit() const { return name_; }
  QLineEdit* email_edit() const { return email_; }
  QPlainTextEdit* description_edit() const { return description_; }
  CBitmapButtonEx* send_button() const { return send_; }
  CBitmapButtonEx* cancel_button() const { return cancel_; }

 private:
  void Lay();

  CSarvelEngine& engine_;
  HttpClient& http_;
  Messenger& messenger_;
  std::wstring upload_;
  CXColorStatic* heading_;
  CXColorStatic* caption_;
  CXColorStatic* explanation_;
  CXColorStatic* name_label_;
  CXColorStatic* email_label_;
  CXColorStatic* description_label_;
  QPlainTextEdit* report_;
  QLineEdit* name_;
  QLineEdit* email_;
  QPlainTextEdit* description_;
  CBitmapButtonEx* send_;
  CBitmapButtonEx* cancel_;
};

}  // namespace orvane::ui
