#include "ui/advanced_scan_dialog.h"

#include <string>
#include <utility>
#include <vector>

#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 297;
constexpr int kStartNormal = 237;
constexpr int kStartHover = 238;
const QColor kCaptionColor(0x0D, 0x5B, 0x99);
const QString kAppTitle = QStringLiteral("Orvane");
// Wider than the 160 pixels the layout began with: "Internet surfing
// activity cache" needs about 170 at Arial 10 and would wrap out of sight.
// Both columns still end inside the picture's panel.
constexpr int kLabelWidth = 185;

// The main window's control ids of the same sections, 13..21.
constexpr int kBoxIds[] = {1174, 1175, 1176, 1177, 1178, 1179, 1192, 1180, 1182};
constexpr int kLabelIds[] = {1183, 1184, 1185, 1186, 1187, 1188, 1193, 1189, 1191};

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

// Tooltips wrap at 400 pixels, as rich text does.
QString Tip(const std::wstring& text) {
  return QStringLiteral("<div style='max-width:400px'>") + Q(text).toHtmlEscaped() +
         QStringLiteral("</div>");
}

CXColorStatic* Label(QWidget* parent, int id, const QRect& where, const QString& text, QColor color,
                     int points) {
  auto* label = new CXColorStatic(QString(), parent);
  label->setObjectName(QString::number(id));
  label->setGeometry(where);
  label->SetFont(QStringLiteral("Arial"), points);
  label->set_text_color(color);
  label->SetText(text);
  // "Browser:" reaches under the first browser box: the box stays on top.
  label->lower();
  return label;
}

CCheckBox* Box(QWidget* parent, int id, QPoint where) {
  auto* box = new CCheckBox(QString(), parent);
  box->setObjectName(QString::number(id));
  box->setGeometry(where.x(), where.y(), CCheckBox::kCell, CCheckBox::kCell);
  return box;
}

}  // namespace

CAdvancedScan::CAdvancedScan(SettingsStore& settings, CSarvelEngine& engine, Messenger& messenger,
                             QWidget* parent)
    : CBitmapDialog(parent), settings_(settings), engine_(engine), messenger_(messenger) {
  setObjectName(QStringLiteral("CAdvancedScan"));
  setWindowTitle(QStringLiteral("Internet Accelerator"));
  Lay();
}

void CAdvancedScan::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  setFixedSize(kWidth, kHeight);

  // Sections 13..16 fill the first column; the second takes 18..21 in its
  // first four rows and 17 in its fifth.
  for (int k = 0; k < kSectionCount - kFirstJunkSection; ++k) {
    const int section = kFirstJunkSection + k;
    const int x = k <= 3 ? 50 : 280;
    const int y = k <= 3 ? 185 + 20 * k : 185 + 20 * (k % 5);
    boxes_[section] = Box(this, kBoxIds[k], {x, y});
    const QString caption = Q(SectionMainLabel(section));
    labels_[section] =
        Label(this, kLabelIds[k], {x + 20, y - 2, kLabelWidth, 21}, caption, kCaptionColor, 10);
    labels_[section]->setToolTip(Tip(SectionMainLabel(section)));
    labels_[section]->setToolTipDuration(4000);
  }

  Label(this, 1249, {50, 125, 70, 21}, QStringLiteral("Browser:"), kCaptionColor, 9);
  internet_explorer_ = Box(this, kInternetExplorer, {110, 125});
  Label(this, 1246, {130, 125, 100, 21}, QStringLiteral("Internet Explorer"), Qt::black, 8);
  firefox_ = Box(this, kFirefox, {230, 125});
  Label(this, 1247, {250, 125, 100, 21}, QStringLiteral("Mozilla - Firefox"), Qt::black, 8);
  chrome_ = Box(this, kChrome, {350, 125});
  Label(this, 1248, {370, 125, 80, 21}, QStringLiteral("Google Chrome"), Qt::black, 8);
  for (CCheckBox* browser : {internet_explorer_, firefox_, chrome_})
    connect(browser, &QAbstractButton::clicked, this, &CAdvancedScan::ApplyBrowserRule);

  start_ = new CBitmapButtonEx(this);
  start_->setObjectName(QStringLiteral("1020"));
  start_->SetUp(kStartNormal, kStartHover, {380, 400}, QString(), 8);
  start_->setDefault(true);
  NameArtworkButton(start_, QStringLiteral("New PC scan"), u'n');
  connect(start_, &QPushButton::clicked, this, &CAdvancedScan::Confirm);

  setTabOrder(internet_explorer_, firefox_);
  setTabOrder(firefox_, chrome_);
  QWidget* last = chrome_;
  for (int section = kFirstJunkSection; section < kSectionCount; ++section) {
    setTabOrder(last, boxes_[section]);
    last = boxes_[section];
  }
  setTabOrder(last, start_);
}

int CAdvancedScan::Run() {
  Open();
  CentreOnWorkArea(this, kOuterWidth, kOuterHeight);
  return exec();
}

void CAdvancedScan::Open() {
  for (int section = kFirstJunkSection; section < kSectionCount; ++section) {
    boxes_[section]->setEnabled(true);
    boxes_[section]->SetCheck(1);
  }
  internet_explorer_->setEnabled(engine_.IsBrowserInstalled(L"IEXPLORE.EXE"));
  firefox_->setEnabled(engine_.IsBrowserInstalled(L"FIREFOX.EXE"));
  chrome_->setEnabled(engine_.IsBrowserInstalled(L"Google Chrome"));
  internet_explorer_->SetCheck(settings_.ReadSetting(L"IE") == L"true");
  firefox_->SetCheck(settings_.ReadSetting(L"Firefox") == L"true");
  chrome_->SetCheck(settings_.ReadSetting(L"Chrome") == L"true");
  ApplyBrowserRule();
}

void CAdvancedScan::ApplyBrowserRule() {
  const bool any = internet_explorer_->GetCheck() || firefox_->GetCheck() || chrome_->GetCheck();
  for (int section = kFirstBrowserSection; section < kSectionCount; ++section) {
    if (!any) boxes_[section]->SetCheck(0);
    boxes_[section]->setEnabled(any);
  }
}

void CAdvancedScan::Confirm() {
  std::array<bool, kSectionCount> chosen{};
  bool any = false;
  for (int section = kFirstJunkSection; section < kSectionCount; ++section) {
    chosen[section] = boxes_[section]->GetCheck() == 1;
    any = any || chosen[section];
  }
  if (!any) {
    messenger_.Tell(this, kAppTitle, QStringLiteral("Please make a selection first!"));
    return;
  }

  // Only a changed choice is written, so that a scan with the browsers
  // chosen before still runs while the machine may not be changed (scans
  // write nothing). A refusal is known before the first write, so the
  // stored choice is never half the new one.
  struct Choice {
    const wchar_t* setting;
    CCheckBox* box;
  };
  const Choice choices[] = {
      {L"Chrome", chrome_}, {L"IE", internet_explorer_}, {L"Firefox", firefox_}};
  std::vector<std::pair<const wchar_t*, std::wstring>> changed;
  for (const Choice& choice : choices) {
    std::wstring value = choice.box->GetCheck() ? L"true" : L"false";
    if (settings_.ReadSetting(choice.setting) != value)
      changed.emplace_back(choice.setting, std::move(value));
  }
  Status stored = changed.empty() ? Status::Ok() : engine_.platform().CheckWritable();
  for (const auto& [setting, value] : changed) {
    if (!stored) break;
    stored = settings_.WriteSetting(setting, value);
  }
  if (!stored) {
    // The scan would look at the browsers stored before, not the ones shown.
    messenger_.Tell(
        this, kAppTitle,
        QStringLiteral("Your choice of browsers could not be stored, so the scan cannot start "
                       "with it: %1\n\nClose the programs running in Wine and try again, or "
                       "keep the browsers chosen before.")
            .arg(Q(stored.message)),
        Messenger::Icon::kWarning);
    return;
  }
  selection_ = chosen;
  accept();
}

CCheckBox* CAdvancedScan::section_box(int section) const {
  return IsJunkOrPrivacySection(section) ? boxes_[section] : nullptr;
}

CXColorStatic* CAdvancedScan::section_label(int section) const {
  return IsJunkOrPrivacySection(section) ? labels_[section] : nullptr;
}

CCheckBox* CAdvancedScan::browser_box(int id) const {
  switch (id) {
    case kInternetExplorer:
      return internet_explorer_;
    case kFirefox:
      return firefox_;
    case kChrome:
      return chrome_;
    default:
      return nullptr;
  }
}

}  // namespace orvane::ui
