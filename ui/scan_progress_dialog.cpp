#include "ui/scan_progress_dialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <type_traits>

#include "ui/skin/skin_images.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

const QString kCaption = QStringLiteral("Orvane");
const QString kCompletedText = QStringLiteral("The scan completed successfully.");
const QString kInterruptedText = QStringLiteral("The scanning process has been interrupted by the user.");
const QString kDeepScanText = QStringLiteral("Deep System Scan ...");

constexpr int kBackground = 200;
constexpr int kStopImage = 202;
constexpr int kProgressMax = 100;

// The rows of the window, by section id. The control ids of the dialog
// template are kept beside them so the layout can be checked against it.
struct Row {
  int name_id;
  int counter_id;
  const char* name;
};
constexpr Row kRows[kSectionCount] = {
    {1083, 1108, "ActiveX / OLE"},
    {1073, 1098, "Application Paths"},
    {1075, 1100, "Sound Files"},
    {1076, 1101, "Help Files"},
    {1082, 1107, "Windows Startup"},
    {1074, 1099, "System Software Settings"},
    {1077, 1102, "Shared Dll"},
    {1080, 1105, "Empty Registry Keys"},
    {1078, 1103, "System Drivers"},
    {1079, 1104, "Uninstall Files"},
    {1072, 1097, "Windows Fonts"},
    {1081, 1106, "Program Shortcuts"},
    {1171, 1172, "MRU"},
    {1183, 1194, "Windows Temporary folder"},
    {1184, 1195, "Windows Log files"},
    {1185, 1196, "Temporary files"},
    {1186, 1197, "Empty Recycling Bin"},
    {1187, 1198, "Internet Cookies"},
    {1188, 1200, "Browser History"},
    {1193, 1199, "Internet surfing activity cache"},
    {1189, 1201, "Typed URL list"},
    {1191, 1202, "Auto complete list"},
};

// Rows per column: registry mode has thirteen rows in two columns, privacy
// mode nine.
constexpr int kRegistryRows = 7;
constexpr int kPrivacyRows = 5;

bool RowInMode(int section, bool privacy) {
  return privacy ? IsJunkOrPrivacySection(section) : IsRegistrySection(section);
}

// The busy animation: the file beside the program when there is one (a
// user may replace the artwork), else the one built in.
QString LoadingGif() {
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Loading.gif"));
  if (QFileInfo(beside).isFile()) return beside;
  return LoadingGifPath();
}

}  // namespace

CScanProgressDialog::CScanProgressDialog(CSarvelEngine& engine, Pacer& pacer, Messenger& messenger, QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), pacer_(pacer), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Scan in Progress"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  SetBackground(kBackground);
  set_drag(true);
  hold_timer_.setSingleShot(true);
  connect(&hold_timer_, &QTimer::timeout, this, &CScanProgressDialog::OnHoldOver);
  CreateControls();
  LayOut(false);
}

CScanProgressDialog::~CScanProgressDialog() {
  hold_timer_.stop();
  animation_->Stop();
}


void CScanProgressDialog::CreateControls() {
  setFixedSize(kWidth, kHeight);

  stop_ = new CBitmapButtonEx(this);
  stop_->SetUp(kStopImage, kStopImage, QPoint(415, 398), QStringLiteral("Stop Scan"), 8);
  // The same picture in every state; only the caption says it is a button.
  stop_->SetBitmaps(QColor(0xFF, 0x00, 0x00), kStopImage, kStopImage, kStopImage, kStopImage);
  stop_->setGeometry(415, 398, 81, 21);
  stop_->set_text_rect(stop_->rect());
  stop_->SetMnemonic(u's');
  connect(stop_, &QPushButton::clicked, this, [this] {
    if (StopProcedure()) done(QDialog::Accepted);
  });

  title_ = new CXColorStatic(QStringLiteral("REGISTRY SCAN"), this);
  title_->setGeometry(50, 30, 420, 21);
  title_->SetFont(QStringLiteral("Arial"), 14);
  title_->set_text_color(QColor(0xC6, 0xF4, 0x37));

  explanation_ =
      new CXColorStatic(QStringLiteral("PC scan in progress. Please wait for a few moments until completion."), this);
  explanation_->setGeometry(50, 90, 420, 21);
  explanation_->SetFont(QStringLiteral("Arial"), 9, 700);
  explanation_->set_text_color(Qt::black);

  item_ = new CXColorStatic(QString(), this);
  item_->setGeometry(50, 110, 420, 21);
  item_->SetFont(QStringLiteral("Arial"), 8);
  item_->set_text_color(QColor(0x59, 0x59, 0x59));  // 7:1 on the white panel; mid grey was 3.9:1

  progress_ = new QProgressBar(this);
  progress_->setGeometry(50, 130, 420, 21);
  progress_->setAccessibleName(QStringLiteral("Scan progress"));
  progress_->setRange(0, kProgressMax);
  progress_->setTextVisible(false);

  // Placed in dialog units by the template (144, 96, 81 x 9); these are
  // those units at the dialog font's base units (1.5 x 1.625 pixels).
  deep_scan_ = new CXColorStatic(kDeepScanText, this);
  deep_scan_->setGeometry(216, 156, 122, 15);
  deep_scan_->SetFont(QStringLiteral("Arial"), 8);
  deep_scan_->set_text_color(Qt::black);

  for (int i = 0; i < kSectionCount; ++i) {
    counters_[i] = new CXColorStatic(QStringLiteral("(0)"), this);
    counters_[i]->setObjectName(QStringLiteral("counter%1").arg(kRows[i].counter_id));
    counters_[i]->SetFont(QStringLiteral("Arial"), 7);
    counters_[i]->set_text_color(QColor(0x9A, 0x00, 0x00));
    names_[i] = new CXColorStatic(QString::fromLatin1(kRows[i].name), this);
    names_[i]->setObjectName(QStringLiteral("name%1").arg(kRows[i].name_id));
    names_[i]->SetFont(QStringLiteral("Arial"), 10);
    names_[i]->set_text_color(QColor(0x0D, 0x5B, 0x99));
  }

  animation_ = new CPictureBoxEx(this);
  animation_->setGeometry(300, 325, 200, 21);
  animation_->setAccessibleName(QStringLiteral("Scanning"));
}

void CScanProgressDialog::LayOut(bool privacy) {
  privacy_ = privacy;
  title_->SetText(privacy ? QStringLiteral("JUNK AND PRIVACY SCAN") : QStringLiteral("REGISTRY SCAN"));
  const int rows = privacy ? kPrivacyRows : kRegistryRows;
  for (int i = 0; i < kSectionCount; ++i) {
    int x = i < rows ? 50 : 300;
    int y = 180 + 20 * (i % rows);
    if (privacy && IsJunkOrPrivacySection(i)) {
      // The junk and privacy rows start their own columns at the top.
      const int k = i - kFirstJunkSection;
      x = i <= 17 ? 50 : 300;
      y = 180 + 20 * (k % kPrivacyRows);
    }
    counters_[i]->setGeometry(x, y + 2, 25, 21);
    names_[i]->setGeometry(x + 25, y, 200, 21);
    const bool shown = RowInMode(i, privacy);
    counters_[i]->setVisible(shown);
    names_[i]->setVisible(shown);
    counters_[i]->setEnabled(shown);
    names_[i]->setEnabled(shown);
  }
}

QRect CScanProgressDialog::AnimationPlace(int section, bool privacy) {
  if (!RowInMode(section, privacy)) return {};
  if (privacy) {
    const int k = section - kFirstJunkSection;
    return QRect(k < kPrivacyRows ? 25 : 275, 180 + 20 * (k % kPrivacyRows), 21, 21);
  }
  return QRect(section < kRegistryRows ? 25 : 275, 180 + 20 * (section % kRegistryRows), 21, 21);
}

QString CScanProgressDialog::ShortenItem(const QString& text) {
  if (text.size() <= kItemTextLimit) return text;
  // The limit counts UTF-16 units; half a surrogate pair would show as a
  // broken glyph, so a pair across the limit goes whole.
  const int keep = text.at(kItemTextLimit - 1).isHighSurrogate() ? kItemTextLimit - 1 : kItemTextLimit;
  return text.left(keep) + QStringLiteral("..");
}

void CScanProgressDialog::ResetDisplay() {
  section_counter_ = 0;
  ended_.fill(false);
  for (CXColorStatic* counter : counters_) counter->SetText(QStringLiteral("(0)"));
  item_->SetText(QString());
  deep_scan_->SetText(kDeepScanText);
  progress_->setValue(0);
  animation_->setGeometry(300, 325, 200, 21);
  animation_->show();
}

void CScanProgressDialog::StartAnimation() {
  if (animation_->Load(LoadingGif()) || animation_->Load(LoadingGifPath())) animation_->Draw();
}

int CScanProgressDialog::EndedShare() const {
  // The share of this scan's own sections that have ended: a registry scan
  // runs 13 of the 22 sections, so counting by section id would leave the
  // bar near the middle while its last section runs.
  // With no selection given, every section of the mode counts.
  const bool any = std::any_of(request_.sections.begin(), request_.sections.end(), [](bool on) { return on; });
  int counted = 0, ended = 0;
  for (int i = 0; i < kSectionCount; ++i) {
    if (!RowInMode(i, privacy_) || (any && !request_.sections[i])) continue;
    ++counted;
    if (ended_[i]) ++ended;
  }
  return counted == 0 ? kProgressMax : ended * kProgressMax / counted;
}

int CScanProgressDialog::Run() {
  LayOut(request_.privacy);
  ResetDisplay();
  CentreOnWorkArea(this, kWidth, kHeight);
  StartAnimation();
  waiting_.clear();
  state_ = State::kRunning;
  // The worker's messages come through the main window's queue, so none is
  // handled before exec() below runs the loop.
  engine_.StartScan(request_);
  return exec();
}

void CScanProgressDialog::HandleEvent(const WorkerEvent& event) {
  if (state_ != State::kRunning) return;
  // Behind a hold, and behind what waited for it, in arrival order.
  if (holding() || !waiting_.empty()) {
    waiting_.push_back(event);
    return;
  }
  Process(event);
}

void CScanProgressDialog::Process(const WorkerEvent& event) {
  std::visit(
      [this](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, SectionBegins>) {
          section_counter_ = 0;
          const QRect place = AnimationPlace(e.section, privacy_);
          if (place.isEmpty()) {
            animation_->hide();  // a hidden row gets no marker
          } else {
            animation_->setGeometry(place);
            animation_->show();
          }
        } else if constexpr (std::is_same_v<E, ErrorAdded>) {
          ++section_counter_;
          if (IsValidSection(e.section)) counters_[e.section]->SetText(QStringLiteral("(%1)").arg(section_counter_));
        } else if constexpr (std::is_same_v<E, ProgressText>) {
          item_->SetText(ShortenItem(QString::fromStdWString(e.text)));
        } else if constexpr (std::is_same_v<E, SectionEnds>) {
          animation_->hide();
          if (IsValidSection(e.section)) {
            ended_[e.section] = true;
            progress_->setValue(EndedShare());
          }
          if (const uint32_t wait = pacer_.Delay(kSectionEndHoldMs); wait > 0)
            hold_timer_.start(static_cast<int>(wait));
        } else if constexpr (std::is_same_v<E, ScanCompleted>) {
          Complete();
        } else if constexpr (std::is_same_v<E, ScanEnded>) {
          // The worker ended without a completion (it stopped on its own):
          // nothing more will come, so the window must not wait for it.
          done(QDialog::Accepted);
        }
      },
      event);
}

void CScanProgressDialog::OnHoldOver() {
  while (state_ == State::kRunning && !holding() && !waiting_.empty()) {
    WorkerEvent next = std::move(waiting_.front());
    waiting_.pop_front();
    Process(next);
  }
}

void CScanProgressDialog::Complete() {
  state_ = State::kCompleting;
  hold_timer_.stop();
  waiting_.clear();
  progress_->setValue(kProgressMax);
  deep_scan_->SetText(QString());
  messenger_.Tell(this, kCaption, kCompletedText);
  // The worker posted the completion and is only finishing: waiting for it
  // is short, and stopping it would report an interruption that never was.
  engine_.WaitForScan();
  if (state_ == State::kCompleting) done(QDialog::Accepted);
}

bool CScanProgressDialog::StopProcedure() {
  if (state_ != State::kRunning) return false;
  state_ = State::kStopping;
  hold_timer_.stop();
  waiting_.clear();
  if (engine_.IsScanRunning()) {
    engine_.StopScan();
    messenger_.Tell(this, kCaption, kInterruptedText);
  }
  return true;
}

void CScanProgressDialog::reject() {
  if (state_ != State::kRunning) return;
  // A key pressed by mistake must not throw a long scan away; the Stop
  // button says what it does and needs no question.
  if (engine_.IsScanRunning() && !messenger_.Ask(this, kCaption, QString::fromUtf8(kStopQuestion))) return;
  // The scan may have completed while the question was open.
  if (StopProcedure()) done(QDialog::Rejected);
}

void CScanProgressDialog::done(int result) {
  state_ = State::kEnded;
  hold_timer_.stop();
  waiting_.clear();
  animation_->Stop();
  QDialog::done(result);
}

}  // namespace orvane::ui
