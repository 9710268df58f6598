#include "app/settings_dialog.h"

#include <QFont>
#include <QTime>

#include "model/program_paths.h"
#include "platform/names.h"
#include "ui/work_area.h"

namespace orvane::app {
namespace {

constexpr int kBackground = 286;
constexpr int kButtonImage = 202;
constexpr int kLinkImage = 242;
const QColor kCaptionColor(0x0D, 0x5B, 0x99);
const QString kTitle = QStringLiteral("Settings");

struct DayBox {
  const char* name;
  int box_id;
  int x, y;
  int label_id;
  int label_width;
  int bit;
};
// Monday first, as the user reads a week; the bits are the platform's.
constexpr DayBox kDays[] = {
    {"Monday", 1141, 150, 310, 1147, 50, kMondayBit},
    {"Tuesday", 1142, 220, 310, 1148, 50, kTuesdayBit},
    {"Wednesday", 1143, 290, 310, 1149, 70, kWednesdayBit},
    {"Thursday", 1144, 150, 330, 1150, 50, kThursdayBit},
    {"Friday", 1145, 220, 330, 1151, 50, kFridayBit},
    {"Saturday", 1138, 290, 330, 1139, 50, kSaturdayBit},
    {"Sunday", 1140, 360, 330, 1146, 50, kSundayBit},
};

struct Option {
  int box_id;
  const wchar_t* setting;
};
// StartWithWindows is not among them: it goes with the session's entry.
constexpr Option kOptions[] = {
    {CSettingsDialog::kScanAtStartup, L"StartScanAtProgramStartup"},
    {CSettingsDialog::kTrayOnClose, L"ShowInTaskbarOnClose"},
    {CSettingsDialog::kAutoUpdates, L"AllowAutoUpdates"},
    {CSettingsDialog::kChrome, L"Chrome"},
    {CSettingsDialog::kInternetExplorer, L"IE"},
    {CSettingsDialog::kFirefox, L"Firefox"},
};

struct Browser {
  int box_id;
  const wchar_t* installed_as;
};
constexpr Browser kBrowsers[] = {
    {CSettingsDialog::kInternetExplorer, L"IEXPLORE.EXE"},
    {CSettingsDialog::kFirefox, L"FIREFOX.EXE"},
    {CSettingsDialog::kChrome, L"Google Chrome"},
};

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

// Makes folder and any missing parent; true when it is there afterwards.
bool MakeFolder(Platform& platform, const std::wstring& folder) {
  if (folder.empty()) return false;
  if (FileExists(platform, folder)) return true;
  const size_t cut = folder.find_last_of(L'\\');
  // "C:" itself is never made here.
  if (cut != std::wstring::npos && cut > 2 && !MakeFolder(platform, folder.substr(0, cut)))
    return false;
  platform.CreateDirectory(folder);
  return FileExists(platform, folder);
}

}  // namespace

CSettingsDialog::CSettingsDialog(SettingsStore& settings, CSarvelEngine& engine,
                                 ui::Messenger& messenger,
                                 std::function<void(const QUrl&)> open_url, QWidget* parent)
    : CBitmapDialog(parent),
      settings_(settings),
      engine_(engine),
      messenger_(messenger),
      open_url_(std::move(open_url)) {
  setObjectName(QStringLiteral("CSettingsDialog"));
  setWindowTitle(kTitle);
  Lay();
}

CXColorStatic* CSettingsDialog::Label(int id, const QRect& where, const QString& text,
                                      bool caption) {
  auto* label = new CXColorStatic(QString(), this);
  label->setObjectName(QString::number(id));
  label->setGeometry(where);
  label->SetFont(QStringLiteral("Arial"), caption ? 9 : 8);
  label->set_text_color(caption ? kCaptionColor : QColor(Qt::black));
  label->SetText(text);
  // A label never covers the control it stands beside.
  label->lower();
  return label;
}

CCheckBox* CSettingsDialog::Box(int id, QPoint where) {
  auto* box = new CCheckBox(QString(), this);
  box->setObjectName(QString::number(id));
  box->setGeometry(where.x(), where.y(), CCheckBox::kCell, CCheckBox::kCell);
  boxes_[id] = box;
  return box;
}

void CSettingsDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  setFixedSize(kWidth, kHeight);

  auto* title = Label(1054, {20, 15, 181, 21}, QStringLiteral("SETTINGS"), true);
  title->SetFont(QStringLiteral("Arial"), 14);
  title->set_text_color(QColor(0xC6, 0xF4, 0x37));

  Label(1130, {50, 100, 70, 21}, QStringLiteral("General:"), true);
  Box(kStartWithWindows, {130, 100});
  Label(1065, {150, 100, 251, 21}, QStringLiteral("Launch Orvane when Windows starts."), false);
  Box(kScanAtStartup, {130, 125});
  Label(1066, {150, 125, 351, 21}, QStringLiteral("Start registry scan at program startup."),
        false);
  Box(kTrayOnClose, {130, 150});
  Label(1067, {150, 150, 251, 21}, QStringLiteral("Minimize Orvane to tray on close."), false);
  Box(kAutoUpdates, {130, 175});
  Label(1068, {150, 175, 251, 21}, QStringLiteral("Check for updates automatically."), false);

  Label(1165, {50, 222, 70, 21}, QStringLiteral("Reports:"), true);
  reports_ = MakeButton(this, kLinkImage, {130, 218, 100, 21}, QStringLiteral("View scan reports"), 1052,
                        QColor(0x00, 0x00, 0xFF));
  connect(reports_, &QPushButton::clicked, this, &CSettingsDialog::ViewReports);

  Label(1132, {50, 246, 70, 21}, QStringLiteral("Language:"), true);
  language_ = new QComboBox(this);
  language_->setObjectName(QStringLiteral("1039"));
  language_->setGeometry(130, 244, 100, 21);
  language_->addItem(QStringLiteral("English"));

  Label(1133, {50, 280, 150, 21}, QStringLiteral("Scan Scheduler:"), true);
  schedule_ = new QComboBox(this);
  schedule_->setObjectName(QStringLiteral("1040"));
  schedule_->setGeometry(150, 280, 100, 21);
  schedule_->addItems({QStringLiteral("None"), QStringLiteral("Daily"), QStringLiteral("Weekly")});
  connect(schedule_, &QComboBox::currentIndexChanged, this, &CSettingsDialog::ApplyEnabling);

  Label(1135, {280, 280, 50, 21}, QStringLiteral("Time:"), true);
  time_ = new QTimeEdit(this);
  time_->setObjectName(QStringLiteral("1137"));
  time_->setGeometry(340, 280, 60, 21);
  time_->setDisplayFormat(QStringLiteral("HH:mm"));

  for (const DayBox& day : kDays) {
    days_[day.bit] = Box(day.box_id, {day.x, day.y});
    Label(day.label_id, {day.x + 20, day.y, day.label_width, 21}, QString::fromLatin1(day.name),
          false);
  }

  Label(1249, {50, 360, 70, 21}, QStringLiteral("Browser:"), true);
  Box(kInternetExplorer, {130, 360});
  Label(1246, {150, 360, 100, 21}, QStringLiteral("Internet Explorer"), false);
  Box(kFirefox, {260, 360});
  Label(1247, {280, 360, 100, 21}, QStringLiteral("Mozilla - Firefox"), false);
  Box(kChrome, {390, 360});
  Label(1248, {410, 360, 100, 21}, QStringLiteral("Google Chrome"), false);

  save_ = MakeButton(this, kButtonImage, {240, 400, 81, 21}, QStringLiteral("Save"), 1);
  cancel_ = MakeButton(this, kButtonImage, {340, 400, 81, 21}, QStringLiteral("Cancel"), 2);
  save_->setDefault(true);
  save_->SetMnemonic(u's');
  cancel_->SetMnemonic(u'c');
  reports_->SetMnemonic(u'v');
  connect(save_, &QPushButton::clicked, this, &CSettingsDialog::Save);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  // Tab runs through the controls as the user reads them.
  QWidget* order[] = {boxes_[kStartWithWindows],
                      boxes_[kScanAtStartup],
                      boxes_[kTrayOnClose],
                      boxes_[kAutoUpdates],
                      reports_,
                      language_,
                      schedule_,
                      time_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  // The lists and the picker speak in the option texts' font.
  for (QWidget* control : {static_cast<QWidget*>(language_), static_cast<QWidget*>(schedule_),
                           static_cast<QWidget*>(time_)})
    control->setFont(QFont(QStringLiteral("Arial"), 8));
  QWidget* last = time_;
  for (const DayBox& day : kDays) {
    setTabOrder(last, days_[day.bit]);
    last = days_[day.bit];
  }
  for (int id : {kInternetExplorer, kFirefox, kChrome}) {
    setTabOrder(last, boxes_[id]);
    last = boxes_[id];
  }
  setTabOrder(last, save_);
  setTabOrder(save_, cancel_);
}

int CSettingsDialog::Run() {
  Open();
  ui::CentreOnWorkArea(this, kOuterWidth, kOuterHeight);
  return exec();
}

void CSettingsDialog::Open() {
  for (auto& [id, box] : boxes_) {
    box->SetCheck(0);
    box->setEnabled(true);
  }
  for (const Browser& b : kBrowsers)
    boxes_[b.box_id]->setEnabled(engine_.IsBrowserInstalled(b.installed_as));

  // A machine that may not be changed now refuses these; the boxes then show
  // what is stored, and Save says why nothing can be stored.
  settings_.WriteDefaultSettings(DefaultsForm::kSettingsDialog);

  for (const Option& option : kOptions)
    boxes_[option.box_id]->SetCheck(settings_.ReadSetting(option.setting) == L"true");
  // Not "StartWithWindows": the session's entry is what starts the program,
  // and the desktop's own tools may have removed or turned it off behind the
  // setting's back.
  boxes_[kStartWithWindows]->SetCheck(settings_.StartsWithSession());

  language_->setCurrentIndex(0);
  const ScanSchedule schedule = settings_.LoadScanSchedule();
  const bool timed = schedule.kind == kScheduleDaily || schedule.kind == kScheduleWeekly;
  if (timed) {
    time_->setTime(QTime(schedule.hour, schedule.minute));
  } else {
    const QTime now = QTime::currentTime();
    time_->setTime(QTime(now.hour(), now.minute()));
  }
  if (schedule.kind == kScheduleWeekly)
    for (auto& [bit, box] : days_) box->SetCheck((schedule.day_mask & bit) != 0);
  {
    // The signal would run the rule too; it runs below in any case, also
    // when the selection stays as it was.
    QSignalBlocker quiet(schedule_);
    schedule_->setCurrentIndex(timed ? schedule.kind : kScheduleNone);
  }
  ApplyEnabling();
}

void CSettingsDialog::ApplyEnabling() {
  const int kind = schedule_->currentIndex();
  time_->setEnabled(kind == kScheduleDaily || kind == kScheduleWeekly);
  for (auto& [bit, box] : days_) box->setEnabled(kind == kScheduleWeekly);
}

void CSettingsDialog::Save() {
  const int kind = schedule_->currentIndex();
  int day_mask = 0;
  for (auto& [bit, box] : days_)
    if (box->GetCheck()) day_mask |= bit;
  // A weekly scan on no day would never run, yet look set.
  if (kind == kScheduleWeekly && day_mask == 0) {
    messenger_.Tell(this, kTitle,
                    QStringLiteral("Please choose at least one day for the weekly scan."),
                    ui::Messenger::Icon::kWarning);
    return;
  }
  // Nothing written while a wineserver holds the registry would last: say
  // so before writing anything, rather than store half the settings.
  if (Status writable = engine_.platform().CheckWritable(); !writable) {
    messenger_.Tell(this, kTitle,
                    QStringLiteral("Your settings could not be saved: %1").arg(Q(writable.message)),
                    ui::Messenger::Icon::kWarning);
    return;
  }

  Status failed;
  auto keep_first = [&failed](Status s) {
    if (!s && failed) failed = std::move(s);
  };
  for (const Option& option : kOptions)
    keep_first(settings_.WriteSetting(option.setting,
                                      boxes_[option.box_id]->GetCheck() ? L"true" : L"false"));
  // Start at login is written only when it changes: it is the user's, for
  // every machine, and this dialog belongs to one.
  const bool start_at_login = boxes_[kStartWithWindows]->GetCheck() == 1;
  if (start_at_login != settings_.StartsWithSession() ||
      settings_.ReadSetting(L"StartWithWindows") != (start_at_login ? L"true" : L"false"))
    keep_first(settings_.SetStartWithWindows(start_at_login));

  const QTime time = time_->time();
  std::wstring notice;
  Status scheduled =
      kind == kScheduleDaily
          ? settings_.SaveScanSchedule(kScheduleDaily, time.hour(), time.minute(), 0, &notice)
      : kind == kScheduleWeekly ? settings_.SaveScanSchedule(kScheduleWeekly, time.hour(),
                                                             time.minute(), day_mask, &notice)
                                : settings_.SaveScanSchedule(kScheduleNone, 0, 0, 0, &notice);

  if (!failed) {
    messenger_.Tell(
        this, kTitle,
        QStringLiteral("Your settings could not all be saved: %1").arg(Q(failed.message)),
        ui::Messenger::Icon::kWarning);
    return;
  }
  QString text = QStringLiteral("Your settings have been successfully saved.");
  if (!scheduled)
    text =
        QStringLiteral("Your settings have been saved, but the scheduled scan could not be set: %1")
            .arg(Q(scheduled.message));
  else if (!notice.empty())
    text += QStringLiteral("\n\n") + Q(notice);
  messenger_.Tell(this, kTitle, text, ui::Messenger::Icon::kWarning);
  accept();
}

void CSettingsDialog::ViewReports() {
  Platform& platform = engine_.platform();
  const std::wstring folder = ReportsFolder(platform);
  if (folder.empty()) {
    messenger_.Tell(this, kTitle, QStringLiteral("This machine has no folder for scan reports."),
                    ui::Messenger::Icon::kWarning);
    return;
  }
  if (!MakeFolder(platform, folder)) {
    messenger_.Tell(
        this, kTitle,
        QStringLiteral("The folder of scan reports could not be made: %1").arg(Q(folder)),
        ui::Messenger::Icon::kWarning);
    return;
  }
  if (open_url_)
    open_url_(QUrl::fromLocalFile(QString::fromStdString(platform.NativePath(folder))));
}

CCheckBox* CSettingsDialog::check_box(int id) const {
  auto it = boxes_.find(id);
  return it == boxes_.end() ? nullptr : it->second;
}

CCheckBox* CSettingsDialog::day_box(int day_bit) const {
  auto it = days_.find(day_bit);
  return it == days_.end() ? nullptr : it->second;
}

}  // namespace orvane::app
