#include "app/tray_icon.h"

#include "ui/skin/skin_images.h"

namespace orvane::app {

TrayIcon::TrayIcon(std::function<bool()> start_with_windows, QObject* parent)
    : QObject(parent), start_with_windows_(std::move(start_with_windows)) {
  icon_.setIcon(SkinIcon());
  icon_.setToolTip(kTip);
  AddItem(&menu_, "Open Orvane", kOpen);
  AddItem(&menu_, "Scan PC now", kScanNow);
  menu_.addSeparator();
  AddItem(&menu_, "Check updates", kCheckUpdates);
  AddItem(&menu_, "Send report to support...", kSendReport);
  AddItem(&menu_, "Custom solution...", kCustomSolution);
  languages_.setTitle("Languages");
  AddItem(&languages_, "English", kEnglish)->setChecked(true);
  menu_.addMenu(&languages_);
  startup_.setTitle("Launch at Windows Startup");
  AddItem(&startup_, "Yes", kStartYes);
  AddItem(&startup_, "No", kStartNo);
  menu_.addMenu(&startup_);
  menu_.addSeparator();
  AddItem(&menu_, "Exit", kExit);
  connect(&menu_, &QMenu::aboutToShow, this, &TrayIcon::PrepareMenu);
  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
}

QAction* TrayIcon::AddItem(QMenu* menu, const QString& text, int id) {
  QAction* action = menu->addAction(text);
  action->setData(id);
  if (id == kEnglish || id == kStartYes || id == kStartNo) action->setCheckable(true);
  // Only the marks of the start-up choice move; "English" stays checked.
  if (id != kEnglish) connect(action, &QAction::triggered, this, [this, id] { emit commandChosen(id); });
  else connect(action, &QAction::triggered, action, [action] { action->setChecked(true); });
  return action;
}

QAction* TrayIcon::action(int id) const {
  for (const QMenu* menu : {&menu_, &languages_, &startup_})
    for (QAction* a : menu->actions())
      if (a->data().toInt() == id) return a;
  return nullptr;
}

void TrayIcon::Add() { icon_.show(); }

void TrayIcon::Notify(const QString& title, const QString& text) {
  last_notice_ = text;
  ++notices_;
  icon_.showMessage(title, text, QSystemTrayIcon::Information, 8000);
}

void TrayIcon::Remove() { icon_.hide(); }

void TrayIcon::PrepareMenu() {
  bool on = start_with_windows_ && start_with_windows_();
  action(kStartYes)->setChecked(on);
  action(kStartNo)->setChecked(!on);
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) emit openRequested();
}

}  // namespace orvane::app
