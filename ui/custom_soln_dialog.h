// `CCustomSolnDialog`: asks the support service whether the solution for the
// last report is ready, shows its status and the staff's instructions, and
// on the user's press runs its script and shows what was done. Interface
// thread only; the service query and the run are synchronous.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>

#include "support/solutions/solution_executor.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

// What the window says when this computer never sent a report.
inline constexpr wchar_t kNoReportSentText[] =
    L"No report has been sent from this computer yet, so no solution is being prepared. Send a report first "
    L"(\"Send report to support...\" in the tray menu).";

class CCustomSolnDialog : public CBitmapDialog {
  Q_OBJECT

 public:
  // The service's answer: true with the staff's comments and script when a
  // solution is ready; false otherwise, with *problem saying why when there
  // was no answer to have (no report sent, the service not reached) and left
  // empty when the staff's solution is simply not ready yet.
  using QueryStatus = std::function<bool(std::wstring* comments, std::wstring* commands, std::wstring* problem)>;

  // executor and messenger must outlive the dialog.
  CCustomSolnDialog(SolutionExecutor& executor, Messenger& messenger, QueryStatus query_status,
                    QWidget* parent = nullptr);

  // Lays the window out, asks the service, and runs modally.
  int Run();
  // The asking part of Run, for a window shown without its own loop.
  void Open();

  CBitmapButtonEx* run_button() const { return run_; }
  QString status_text() const { return status_->stored_text(); }
  QString instructions() const { return instructions_->toPlainText(); }

 private:
  void Lay();
  // problem: why no answer could be had; "" for a solution not ready yet.
  void ShowNotAvailable(const std::wstring& problem = L"");
  void RunSolution();

  SolutionExecutor& executor_;
  Messenger& messenger_;
  QueryStatus query_status_;
  CXColorStatic* heading_;
  CXColorStatic* status_caption_;
  CXColorStatic* status_;
  CXColorStatic* instructions_caption_;
  QPlainTextEdit* instructions_;
  CBitmapButtonEx* run_;
  // The script of a ready solution, kept until the run button uses it.
  std::wstring script_;
};

}  // namespace orvane::ui
