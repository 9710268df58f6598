#include "app/scan_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>

#include "app/problems_display.h"
#include "app/tray_icon.h"
#include "model/program_paths.h"
#include "platform/names.h"
#include "model/sections.h"
#include "ui/scan_progress_dialog.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/skin/skin_images.h"
#include "ui/work_area.h"

namespace orvane::app {
namespace {

constexpr int kWidth = 905;
constexpr int kHeight = 642;

// The check box and caption control ids of each section.
constexpr std::array<int, kSectionCount> kBoxIds = {1018, 1007, 1009, 1010, 1011, 1008, 1012, 1015,
                                                    1013, 1014, 1006, 1016, 1167, 1174, 1175, 1176,
                                                    1177, 1178, 1179, 1192, 1180, 1182};
constexpr std::array<int, kSectionCount> kLabelIds = {1083, 1073, 1075, 1076, 1082, 1074, 1077, 1080,
                                                      1078, 1079, 1072, 1081, 1171, 1183, 1184, 1185,
                                                      1186, 1187, 1188, 1193, 1189, 1191};

// Dialog units of the 8-point dialog font in pixels, for the two labels that
// keep their place in the window's template.
QRect DialogUnits(int x, int y, int w, int h) {
  return QRect(x * 3 / 2, y * 13 / 8, w * 3 / 2, h * 13 / 8);
}

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

// Tooltips wrap at 400 pixels, as rich text does.
QString Tip(const std::wstring& text) {
  return "<div style='max-width:400px'>" + Q(text).toHtmlEscaped() + "</div>";
}

}  // namespace

CScanDialog::CScanDialog(MainWindowParts parts, bool scan_at_start, QWidget* parent)
    : CBitmapDialog(parent), parts_(std::move(parts)), scan_at_start_(scan_at_start) {
  setObjectName("CScanDialog");
}

CScanDialog::~CScanDialog() = default;

CBitmapButtonEx* CScanDialog::button(int id) const {
  for (const auto& [button_id, b] : buttons_)
    if (button_id == id) return b;
  return nullptr;
}

CBitmapButtonEx* CScanDialog::AddButton(int id, int normal, int hover, QPoint where, const QString& caption) {
  auto* b = new CBitmapButtonEx(this);
  b->SetUp(normal, hover, where, caption, 9, Qt::white);
  buttons_.push_back({id, b});
  return b;
}

void CScanDialog::Initialise() {
  SettingsStore& settings = *parts_.settings;
  // Defaults of the settings a first run finds missing. A machine that may
  // not be changed now is said once, here.
  Status defaults = settings.WriteDefaultSettings(DefaultsForm::kMainWindow);
  if (defaults) defaults = parts_.engine->platform().CheckWritable();
  ReportRefusal(defaults);

  // Tooltips on white, as the section descriptions are written for.
  QPalette tips = QToolTip::palette();
  tips.setColor(QPalette::ToolTipBase, Qt::white);
  tips.setColor(QPalette::ToolTipText, Qt::black);
  QToolTip::setPalette(tips);

  tray_ = std::make_unique<TrayIcon>([this] { return parts_.settings->ReadSetting(L"StartWithWindows") == L"true"; });
  connect(tray_.get(), &TrayIcon::commandChosen, this, &CScanDialog::OnTrayCommand);
  connect(tray_.get(), &TrayIcon::openRequested, this, &CScanDialog::OnOpen);
  if (TrayAvailable()) tray_->Add();
  setWindowIcon(SkinIcon());

  // A borderless window of its own size; the picture is its face, and the
  // picture is what the user drags.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
  SetBackground(149);
  set_drag(true);
  Layout();
  setWindowTitle(kTitle);
  PlaceWindow();

  version_->SetText(Q(parts_.engine->GetProductVersion()));
  ShowUpdateStatus("Not checked");
  last_scan_->SetText(Q(parts_.engine->GetLastScanDate()));
  RefreshProblemsDisplay();
  first_paint_pending_ = true;
}

void CScanDialog::Layout() {
  // The support service's windows are on the window's own menu (a right
  // click) as well as the tray's, for desktops without a tray.
  setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(addAction("Send report to support..."), &QAction::triggered, this, &CScanDialog::OnSendReport);
  connect(addAction("Custom solution..."), &QAction::triggered, this, &CScanDialog::OnCustomSolution);
  for (int i = 0; i < kSectionCount; ++i) {
    int x = i <= 6 ? 370 : i <= 12 ? 560 : 740;
    int y = i <= 12 ? 245 + 20 * (i % 7) : 245 + 20 * (i - 13);
    auto* box = new CCheckBox(QString(), this);
    box->setObjectName(QString("box%1").arg(kBoxIds[i]));
    box->setGeometry(x, y, 13, 13);
    box->SetCheck(1);
    auto* label = new CXColorStatic(Q(SectionMainLabel(i)), this);
    label->setObjectName(QString("label%1").arg(kLabelIds[i]));
    label->setGeometry(x + 20, y - 2, 160, 21);
    label->set_text_color(QColor(0x05, 0x3A, 0x03));
    label->SetFont("Arial", 10);
    std::wstring description = SectionDescription(i);
    label->setToolTip(Tip(description.empty() ? SectionMainLabel(i) : description));
    label->setToolTipDuration(4000);
    if (i >= kFirstJunkSection) {
      // Junk and privacy sections are chosen in their own window.
      box->SetCheck(0);
      for (QWidget* w : {static_cast<QWidget*>(box), static_cast<QWidget*>(label)}) {
        w->hide();
        w->setEnabled(false);
      }
    }
    boxes_[i] = box;
    labels_[i] = label;
  }

  title_ = new CXColorStatic(QString(), this);
  title_->setGeometry(18, 12, 176, 15);  // room for a longer version
  title_->set_text_color(Qt::white);
  title_->SetFont("Arial", 10, 700);
  title_->SetText(QString("Orvane v%1").arg(Q(parts_.engine->GetProductVersion())));
  // Which machine this is; the generated sample says so plainly.
  machine_ = new CXColorStatic(QString(), this);
  machine_->setGeometry(200, 14, 420, 15);
  machine_->set_text_color(parts_.sample_machine ? QColor(0xFF, 0xFF, 0x00) : QColor(0xC0, 0xC8, 0xD0));
  machine_->SetFont("Arial", 8, parts_.sample_machine ? 700 : 400);
  machine_->SetText(parts_.sample_machine ? "Sample machine with known faults (start with --prefix DIR for yours)"
                                          : parts_.machine);
  machine_->setToolTip(parts_.machine);

  CBitmapButtonEx* minimise = AddButton(1025, 156, 157, {845, 9});
  connect(minimise, &QPushButton::clicked, this, &CScanDialog::OnMinimise);
  CBitmapButtonEx* close = AddButton(1024, 154, 155, {873, 9});
  connect(close, &QPushButton::clicked, this, &CScanDialog::OnClose);
  connect(AddButton(1021, 204, 0, {626, 51}, "Update"), &QPushButton::clicked, this, &CScanDialog::OnUpdate);
  connect(AddButton(1022, 204, 0, {790, 51}, "Help"), &QPushButton::clicked, this, &CScanDialog::OnHelp);
  CBitmapButtonEx* scan = AddButton(1005, 196, 187, {32, 92});
  scan->setToolTip("This is the scanning button.");
  connect(scan, &QPushButton::clicked, this, [this] { StartScan(false); });
  connect(AddButton(1001, 188, 189, {32, 152}), &QPushButton::clicked, this, &CScanDialog::OnSettings);
  connect(AddButton(1002, 192, 193, {32, 212}), &QPushButton::clicked, this, &CScanDialog::OnRestore);
  connect(AddButton(1028, 194, 195, {32, 272}), &QPushButton::clicked, this, &CScanDialog::OnStartup);
  connect(AddButton(1251, 292, 294, {30, 334}), &QPushButton::clicked, this, &CScanDialog::OnJunkAndPrivacy);
  connect(AddButton(1239, 1240, 1241, {32, 396}), &QPushButton::clicked, this, &CScanDialog::OnUninstall);
  connect(AddButton(1020, 237, 238, {679, 550}), &QPushButton::clicked, this, [this] { StartScan(false); });
  connect(AddButton(1052, 241, 240, {559, 550}), &QPushButton::clicked, this, &CScanDialog::OnLastResults);
  for (const auto& [id, b] : buttons_) b->setObjectName(QString("button%1").arg(id));

  last_scan_ = new CXColorStatic(QString(), this);
  last_scan_->setGeometry(277, 465, 200, 15);
  last_scan_->set_text_color(QColor(0xBF, 0xFB, 0x08));
  last_scan_->SetFont("Arial", 10, 700);
  problems_ = new CXColorStatic(QString(), this);
  problems_->setGeometry(277, 495, 200, 21);
  gauge_ = new QLabel(this);
  gauge_->setGeometry(480, 460, 210, 75);
  gauge_->setToolTip("Last Scan Damage Level");
  version_ = new CXColorStatic(QString(), this);
  version_->setGeometry(DialogUnits(77, 326, 83, 8));
  version_->set_text_color(Qt::white);
  version_->SetFont("Arial", 8);
  update_status_ = new CXColorStatic(QString(), this);
  // Beside "Updates:", inside the Statistics box; a longer status (the
  // offered version, an unreachable server) takes a second line there.
  update_status_->setGeometry(QRect(DialogUnits(77, 350, 84, 8).topLeft(), QSize(100, 28)));
  update_status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  update_status_->set_text_color(Qt::white);
  update_status_->SetFont("Arial", 8);
  SetUpKeyboard();
}

void CScanDialog::SetUpKeyboard() {
  // The sidebar's captions are drawn in its artwork.
  struct Key {
    int id;
    const char* name;
    char16_t mnemonic;
  };
  static constexpr Key kKeys[] = {
      {1005, "Scan Now", u's'},         {1001, "Settings", u't'},        {1002, "BackUp", u'b'},
      {1028, "Manage Startup", u'm'},   {1251, "Internet Accelerator: junk and privacy scan", u'i'},
      {1239, "Uninstaller", u'u'},      {1020, "New PC scan", u'n'},     {1052, "Repair the last results", u'r'},
      {1025, "Minimise", 0},            {1024, "Close", 0},
  };
  for (const Key& key : kKeys) NameArtworkButton(button(key.id), QString::fromUtf8(key.name), QChar(key.mnemonic));
  button(1021)->SetMnemonic(u'p');
  button(1022)->SetMnemonic(u'h');
  for (int i = 0; i < kSectionCount; ++i) boxes_[i]->setAccessibleName(labels_[i]->ShownText());
  gauge_->setAccessibleName(gauge_->toolTip());

  // Tab reads the window as a person does: the sidebar, the sections by
  // column, the two big buttons, then the top row.
  std::vector<QWidget*> order;
  for (int id : {1005, 1001, 1002, 1028, 1251, 1239}) order.push_back(button(id));
  for (int i = 0; i < kFirstJunkSection; ++i) order.push_back(boxes_[i]);
  for (int id : {1020, 1052, 1021, 1022, 1025, 1024}) order.push_back(button(id));
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void CScanDialog::PlaceWindow() {
  setFixedSize(kWidth, kHeight);
  ui::CentreOnWorkArea(this, kWidth, kHeight, -20);
}

void CScanDialog::paintEvent(QPaintEvent* event) {
  CBitmapDialog::paintEvent(event);
  // The thin border of a window without a frame.
  QPainter painter(this);
  painter.setPen(QColor(0x10, 0x18, 0x20));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.end();
  if (!first_paint_pending_) return;
  first_paint_pending_ = false;
  bool at_start = scan_at_start_ || parts_.settings->ReadSetting(L"StartScanAtProgramStartup") == L"true";
  // After this paint, so the window is on screen when the scan begins.
  if (at_start) QTimer::singleShot(0, this, [this] { StartScan(false); });
}

BrowserSelection CScanDialog::ChosenBrowsers() const {
  SettingsStore& s = *parts_.settings;
  return {s.ReadSetting(L"IE") == L"true", s.ReadSetting(L"Firefox") == L"true", s.ReadSetting(L"Chrome") == L"true"};
}

void CScanDialog::StartScan(bool privacy) {
  CSarvelEngine& engine = *parts_.engine;
  if (engine.IsScanRunning()) {
    Tell("Scan in progress. Please wait.");
    return;
  }
  ScanRequest request({}, ChosenBrowsers(), privacy);
  bool any = false;
  for (int i = 0; i < kSectionCount; ++i) {
    request.sections[i] = privacy ? (i >= kFirstJunkSection && privacy_selection_[i])
                                  : (i < kFirstJunkSection && boxes_[i]->GetCheck() == 1);
    any |= request.sections[i];
  }
  if (!any) {
    Tell("Please make a selection first!");
  } else {
    parts_.progress->SetRequest(request);
    parts_.progress->Run();
    // However the progress window ended, the engine decides what stays.
    ScanOutcome outcome = engine.FinishScan();
    RefreshProblemsDisplay();
    ReportRefusal(outcome.kept);
    // What the scan could not look at (a database the browser holds) is
    // said, so a clean result is never mistaken for a complete one.
    if (const std::vector<std::wstring>& notes = outcome.summary.notes; !notes.empty()) {
      QString text = "The scan could not look at everything:";
      for (const std::wstring& note : notes) text += "\n\u2022 " + Q(note);
      Tell(text, "Orvane");
    }
    if (outcome.summary.total >= 1) parts_.run_results();
  }
  last_scan_->SetText(Q(engine.GetLastScanDate()));
  update();
}

void CScanDialog::RefreshProblemsDisplay() {
  ProblemsLook look = ProblemsFor(Q(parts_.settings->ReadSetting(L"IgnoredErrorsCount")));
  problems_->SetText(look.text);
  problems_->set_text_color(look.color);
  problems_->SetFont("Arial", 11, 700);
  if (look.gauge != 0) {
    gauge_id_ = look.gauge;
    gauge_->setPixmap(QPixmap::fromImage(SkinImage(look.gauge, devicePixelRatioF())));
  }
}

void CScanDialog::OnSettings() {
  if (parts_.run_settings) parts_.run_settings();
  if (parts_.settings->ReadSetting(L"AllowAutoUpdates") == L"true" && parts_.updates) BeginUpdateCheck(false);
}

void CScanDialog::OnRestore() {
  if (parts_.run_restore) parts_.run_restore();
}

void CScanDialog::OnStartup() {
  if (parts_.run_startup) parts_.run_startup();
}

void CScanDialog::OnUninstall() {
  if (parts_.run_uninstall) parts_.run_uninstall();
}

void CScanDialog::OnJunkAndPrivacy() {
  std::array<bool, kSectionCount> chosen{};
  if (!parts_.run_junk_and_privacy || !parts_.run_junk_and_privacy(&chosen)) return;
  privacy_selection_ = chosen;
  StartScan(true);
}

void CScanDialog::OnLastResults() {
  CSarvelEngine& engine = *parts_.engine;
  engine.LoadUnresolvedErrors();
  if (!engine.errors().IsEmpty()) parts_.run_results();
}

void CScanDialog::OnUpdate() {
  update_requested_ = true;
  if (!parts_.updates) {
    Tell("Updates cannot be checked in this version of Orvane.");
    return;
  }
  BeginUpdateCheck(true);
}

void CScanDialog::BeginUpdateCheck(bool user) {
  if (!parts_.updates->HasServer()) {
    ShowUpdateStatus("Not checked");
    if (user)
      Tell("No update server is set, so updates cannot be checked. An update server is named with the setting "
           "UpdateServer.",
           "Updates");
    return;
  }
  // The worker finds a missing connection too and answers at once; the
  // user who asked hears it in the words they always have.
  if (user && !parts_.updates->Connected()) {
    ShowUpdateStatus("Cannot reach the update server");
    Tell("No internet connection available. Please check your connection.", "Orvane");
    return;
  }
  ShowUpdateStatus("Checking...");
  parts_.updates->StartUpdateCheck();
}

void CScanDialog::ShowUpdateStatus(const QString& text, bool highlighted) {
  update_status_->SetText(text);
  update_status_->set_text_color(highlighted ? QColor(0xFF, 0xFF, 0x00) : QColor(Qt::white));
  update_status_->SetFont("Arial", 8, highlighted ? 700 : 400);
}

void CScanDialog::OnSendReport() {
  if (parts_.run_send_report) parts_.run_send_report();
}

void CScanDialog::OnCustomSolution() {
  if (parts_.run_custom_solution) parts_.run_custom_solution();
}

void CScanDialog::OnHelp() {
  if (parts_.open_url) parts_.open_url(parts_.help_page);
  else QDesktopServices::openUrl(parts_.help_page);
}

void CScanDialog::OnMinimise() { showMinimized(); }

void CScanDialog::OnOpen() {
  showNormal();
  raise();
  activateWindow();
  // A window the user is in the middle of (a scan's progress, a message)
  // stays in front of the main window.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
    modal->raise();
    modal->activateWindow();
  }
}

bool CScanDialog::TrayAvailable() const {
  return parts_.tray_available ? parts_.tray_available() : QSystemTrayIcon::isSystemTrayAvailable();
}

void CScanDialog::OnClose() {
  if (parts_.settings->ReadSetting(L"ShowInTaskbarOnClose") == L"true") {
    // Only the tray brings a hidden window back: without one, hiding would
    // leave a program nobody can reach.
    if (!TrayAvailable()) {
      showMinimized();
      return;
    }
    hide();
    // A window that vanishes without a word looks like a program that ended;
    // the first time in a run, the tray says where it went.
    if (!told_of_tray_ && tray_) {
      told_of_tray_ = true;
      tray_->Notify(QString::fromUtf8(kAppCaption), QString::fromUtf8(kStillRunningText));
    }
    return;
  }
  if (parts_.engine->IsScanRunning()) {
    Tell("Please wait for the scan to complete.");
    return;
  }
  Exit();
}

void CScanDialog::OnExit() {
  if (parts_.engine->IsScanRunning()) {
    Tell("Please wait for the scan to complete.");
    return;
  }
  Exit();
}

void CScanDialog::Exit() {
  exiting_ = true;
  if (tray_) tray_->Remove();
  hide();
  emit exitRequested(1);
}

void CScanDialog::closeEvent(QCloseEvent* event) {
  // The window manager's close is the close button's.
  if (exiting_) return CBitmapDialog::closeEvent(event);
  event->ignore();
  OnClose();
}

void CScanDialog::reject() {
  if (!exiting_) OnClose();
}

void CScanDialog::OnTrayCommand(int id) {
  switch (id) {
    case TrayIcon::kOpen: OnOpen(); break;
    case TrayIcon::kScanNow:
      OnOpen();
      StartScan(false);
      break;
    case TrayIcon::kCheckUpdates: OnUpdate(); break;
    case TrayIcon::kSendReport: OnSendReport(); break;
    case TrayIcon::kCustomSolution: OnCustomSolution(); break;
    case TrayIcon::kStartYes: SetStartWithWindows(true); break;
    case TrayIcon::kStartNo: SetStartWithWindows(false); break;
    case TrayIcon::kExit: OnExit(); break;
    default: break;
  }
}

void CScanDialog::SetStartWithWindows(bool on) { ReportRefusal(parts_.settings->SetStartWithWindows(on)); }

void CScanDialog::OnWorkerEvent(const WorkerEvent& event) {
  auto relay = [&](const RelayTarget& target) {
    // Dropped when the window that shows that work is not open.
    if (target.window && target.window->isVisible() && target.handle) target.handle(event);
  };
  std::visit(
      [&](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, ErrorAdded> || std::is_same_v<E, ProgressText> ||
                      std::is_same_v<E, ScanCompleted> || std::is_same_v<E, SectionBegins> ||
                      std::is_same_v<E, SectionEnds> || std::is_same_v<E, ScanEnded>) {
          if (parts_.progress && parts_.progress->isVisible()) parts_.progress->HandleEvent(event);
        } else if constexpr (std::is_same_v<E, RepairStarted> || std::is_same_v<E, RecordProcessed> ||
                             std::is_same_v<E, RecordBegins> || std::is_same_v<E, RepairEnded>) {
          relay(parts_.repair);
        } else if constexpr (std::is_same_v<E, DownloadStarts> || std::is_same_v<E, DownloadReceived> ||
                             std::is_same_v<E, DownloadComplete>) {
          if (parts_.updates) parts_.updates->DownloadProgress(event);
        } else if constexpr (std::is_same_v<E, NewVersion>) {
          std::optional<update::CheckResult> found;
          if (parts_.updates) found = parts_.updates->LastCheck();
          QString offered = found ? Q(found->offered) : QString();
          ShowUpdateStatus(offered.isEmpty() ? QString("Available") : "Available: " + offered, true);
          update(QRect(QPoint(115, 550), QPoint(200, 650)));
          QString question = offered.isEmpty()
                                 ? QString("A new version of Orvane is available. Do you want to download it now?")
                                 : QString("A new version of Orvane (%1) is available. Do you want to download it now?")
                                       .arg(offered);
          if (parts_.messenger->Ask(this, kAppCaption, question) && parts_.updates) {
            parts_.updates->StartDownload();
            parts_.updates->RunDownloadDialog();
          }
        } else if constexpr (std::is_same_v<E, NoNewVersion>) {
          std::optional<update::CheckResult> found;
          if (parts_.updates) found = parts_.updates->LastCheck();
          if (found && found->outcome == update::CheckResult::Outcome::kFailed) {
            ShowUpdateStatus("Cannot reach the update server");
            if (update_requested_)
              Tell("The update server cannot be reached, so updates cannot be checked now.\n\n" + Q(found->reason),
                   "Updates");
          } else {
            ShowUpdateStatus("Up to date");
            if (update_requested_)
              Tell("No updates available. The latest version of Orvane Performance is already installed on your PC.",
                   "Updates");
          }
          update_requested_ = false;
        } else if constexpr (std::is_same_v<E, VersionInPlace>) {
          // A download window still open closes first.
          if (parts_.updates) parts_.updates->DownloadProgress(event);
          parts_.messenger->Tell(this, kAppCaption,
                                 "Congratulations! You have successfully updated Orvane.\nThe program will be "
                                 "automatically restarted. Please click OK to proceed.",
                                 ui::Messenger::Icon::kInformation);
          if (parts_.updates) parts_.updates->StartRestarter();
        } else if constexpr (std::is_same_v<E, DownloadFailed>) {
          if (parts_.updates) parts_.updates->DownloadProgress(event);
          QString text = "The new version was not downloaded successfully. You need to download it again";
          if (!e.reason.empty()) text += "\n\n" + Q(e.reason);
          Tell(text, "Orvane");
        }
      },
      event);
}

void CScanDialog::ReportRefusal(const Status& status) {
  if (status) return;
  QString where = parts_.sample_machine ? "the sample machine" : "this machine";
  Tell(QString("Orvane cannot change %1 now, so nothing was written.\n\n%2")
           .arg(where, Q(status.message)),
       "Orvane");
}

void CScanDialog::Tell(const QString& text, const QString& caption) {
  parts_.messenger->Tell(this, caption, text);
}

}  // namespace orvane::app
