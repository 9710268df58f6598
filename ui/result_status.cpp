#include "ui/result_status.h"

#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kNameWidth = 215;

constexpr int kBackground = 211;
constexpr int kButtonImage = 202;
const QColor kTransparent(0xFF, 0x00, 0x00);

// Control ids of each section's row: name, found, repaired, ignored.
constexpr std::array<std::array<int, 4>, kSectionCount> kRowIds{{
    {1096, 1108, 1120, 1144}, {1086, 1098, 1110, 1134}, {1088, 1100, 1112, 1136},
    {1089, 1101, 1113, 1137}, {1090, 1102, 1114, 1138}, {1087, 1099, 1111, 1135},
    {1091, 1103, 1115, 1139}, {1094, 1106, 1118, 1142}, {1092, 1104, 1116, 1140},
    {1093, 1105, 1117, 1141}, {1085, 1097, 1109, 1133}, {1095, 1107, 1119, 1143},
    {1121, 1168, 1169, 1170}, {1203, 1212, 1221, 1230}, {1204, 1213, 1222, 1231},
    {1205, 1214, 1223, 1232}, {1206, 1215, 1224, 1233}, {1209, 1218, 1227, 1236},
    {1208, 1217, 1226, 1235}, {1207, 1216, 1225, 1234}, {1210, 1219, 1228, 1237},
    {1211, 1220, 1229, 1238},
}};
constexpr int kFirstPrivacySection = 13;

CXColorStatic* Label(QWidget* parent, int id) {
  auto* label = new CXColorStatic(QString(), parent);
  label->setObjectName(QString::number(id));
  return label;
}

void Style(CXColorStatic* label, QRect where, QColor color, int points, int weight = 400) {
  label->setGeometry(where);
  // One line, centred in its table row: a long name is cut at the column's
  // edge rather than wrapped into the next row.
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->SetFont(QStringLiteral("Arial"), points, weight);
  label->set_text_color(color);
}

}  // namespace

CResultStatus::CResultStatus(CSarvelEngine& engine, QWidget* parent)
    : CBitmapDialog(parent), engine_(engine) {
  setWindowTitle(QStringLiteral("Repair results summary"));
  title_ = Label(this, 1054);
  for (int i = 0; i < kRows; ++i) {
    rows_[i] = {Label(this, kRowIds[i][0]), Label(this, kRowIds[i][1]), Label(this, kRowIds[i][2]),
                Label(this, kRowIds[i][3])};
  }
  total_found_ = Label(this, 1055);
  total_repaired_ = Label(this, 1056);
  total_ignored_ = Label(this, 1057);
  figures_ = Label(this, 1058);
  close_ = new CBitmapButtonEx(this);
  close_->setObjectName(QStringLiteral("1124"));
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  Lay();
}

void CResultStatus::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);
  title_->hide();  // the picture carries the title

  const QColor total_color(0x0D, 0x5B, 0x99);
  Style(total_found_, {270, 390, 60, 21}, total_color, 12, 700);
  Style(total_repaired_, {350, 390, 60, 21}, total_color, 12, 700);
  Style(total_ignored_, {420, 390, 60, 21}, total_color, 12, 700);
  const SectionCounter totals = engine_.Totals();
  total_found_->SetText(QString::number(totals.found));
  total_repaired_->SetText(QString::number(totals.repaired));
  total_ignored_->SetText(QString::number(totals.ignored));
  // Under the table, beside Close: what left the machine and what the
  // backup holds, in the words orvane-cli uses.
  Style(figures_, {30, 413, 360, 25}, Qt::black, 8);
  figures_->setWordWrap(true);
  figures_->SetText(QString::fromStdWString(RepairFiguresText(engine_.last_repair_figures())));

  const bool privacy = engine_.privacy_scan();
  // A dark teal: 5:1 and more against the table's white and grey rows.
  const QColor name_color(0x0B, 0x6E, 0x7C);
  for (int i = 0; i < kRows; ++i) {
    Row& r = rows_[i];
    // Privacy rows move up to the top of the table; their ignored column
    // sits 10 pixels further right than the registry rows'.
    const bool shown = privacy == (i >= kFirstPrivacySection);
    const bool moved = privacy && shown;
    const int y = 102 + 22 * (moved ? i - kFirstPrivacySection : i);
    // Names run up to the found column, so none is cut ("System Software
    // Settings" is wider than the old 120 pixels).
    Style(r.name, {50, y, kNameWidth, 21}, name_color, 10);
    Style(r.found, {270, y, 40, 21}, Qt::black, 10);
    Style(r.repaired, {350, y, 40, 21}, Qt::black, 10);
    Style(r.ignored, {moved ? 430 : 420, y, 40, 21}, Qt::black, 10);
    r.name->SetText(QString::fromStdWString(CSarvelEngine::SectionName(i)));
    const SectionCounter counts = engine_.Section(i);
    r.found->SetText(QString::number(counts.found));
    r.repaired->SetText(QString::number(counts.repaired));
    r.ignored->SetText(QString::number(counts.ignored));
    for (CXColorStatic* label : {r.name, r.found, r.repaired, r.ignored}) {
      label->setVisible(shown);
      label->setEnabled(shown);
    }
  }

  close_->SetUp(kButtonImage, kButtonImage, QPoint(400, 415), QStringLiteral("Close"), 8);
  close_->SetBitmaps(kTransparent, kButtonImage, kButtonImage, kButtonImage, kButtonImage);
  close_->setGeometry(400, 415, 81, 21);
  close_->set_text_rect(close_->rect());
  close_->SetMnemonic(u'c');
  // The window's one button: Enter closes it, as Escape does.
  close_->setDefault(true);
}

int CResultStatus::Run() {
  Lay();
  return exec();
}

}  // namespace orvane::ui
