#include "ui/skin/gallery.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <atomic>

#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/skin/item_list.h"
#include "ui/skin/picture_box.h"
#include "ui/skin/skin_images.h"

namespace orvane {
namespace {

// Holds every frame until Stop, so the sample shows exactly the first frame.
class HoldClock : public WaitClock {
 public:
  bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               std::chrono::milliseconds, const std::function<bool()>& done) override {
    holding = true;
    cv.wait(lock, done);
    return true;
  }
  std::atomic<bool> holding{false};
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
  QPointF local(at);
  QPointF global(widget->mapToGlobal(at));
  Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

CXColorStatic* Caption(QWidget* parent, const QString& text, QRect where, int points = 8,
                       int weight = 400, QColor color = QColor(0x2D, 0x36, 0x3F)) {
  auto* label = new CXColorStatic(text, parent);
  label->setGeometry(where);
  label->SetFont(QStringLiteral("Arial"), points, weight);
  label->set_text_color(color);
  return label;
}

// One button per state: normal, pressed, hover, disabled with and without a
// disabled image.
void ButtonRow(CBitmapDialog* dialog, int y, int normal, int pressed, int hover,
               const QString& caption, QColor text, bool caption_drawn, int first = 0,
               int last = 4) {
  const char* names[] = {"normal", "pressed", "hover", "disabled", "disabled, no image"};
  int x = 40;
  for (int state = first; state <= last; ++state) {
    auto* button = new CBitmapButtonEx(dialog);
    int disabled_image = state == 4 ? 0 : normal;
    button->SetBitmaps(QColor(0xFF, 0, 0), normal, pressed, hover, disabled_image);
    QSize size = SkinImageSize(normal);
    button->resize(size);
    button->move(x, y);
    button->SetFont(QStringLiteral("Arial"), 8, kTextCenter | kTextVCenter | kTextSingleLine);
    if (caption_drawn) button->set_caption(caption);
    button->set_text_rect(button->rect());
    button->set_text_color(text);
    QPoint centre = button->rect().center();
    button->set_pointer_source([button, centre] { return button->mapToGlobal(centre); });
    if (state == 1) button->setDown(true);
    if (state == 2) SendMouse(button, QEvent::MouseMove, centre);
    if (state >= 3) button->setEnabled(false);
    Caption(dialog, QString::fromLatin1(names[state]), QRect(x, y + size.height() + 2, 120, 14));
    x += std::max(size.width(), 100) + 4;
  }
}

bool Save(const QImage& image, const QString& dir, const QString& name, QStringList* written,
          QString* error) {
  const QString path = QDir(dir).filePath(name);
  if (image.isNull() || !image.save(path, "PNG")) {
    if (error) *error = QStringLiteral("cannot write %1").arg(path);
    return false;
  }
  if (written) written->append(path);
  return true;
}

QImage Snap(QWidget* window) {
  window->show();
  QApplication::processEvents();
  return window->grab().toImage();
}

// A plain light picture with a dark band, for samples that need room.
QImage PlainPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(QColor(0xF3, 0xF6, 0xF9));
  QPainter painter(&picture);
  painter.fillRect(0, 0, width, 76, QColor(0x2B, 0x3A, 0x4A));
  painter.fillRect(0, 76, width, 3, QColor(0x8C, 0xC6, 0x3F));
  return picture;
}

QImage ButtonsSample() {
  CBitmapDialog dialog;
  dialog.SetBackground(PlainPicture(905, 660));
  dialog.resize(LogicalSize(dialog.picture()));
  Caption(&dialog, QStringLiteral("BUTTONS: each state"), QRect(50, 30, 400, 24), 14, 400,
          QColor(0xC6, 0xF4, 0x37));
  ButtonRow(&dialog, 110, 202, 0, 202, QStringLiteral("Stop Scan"), Qt::black, true);
  ButtonRow(&dialog, 162, 203, 0, 203, QStringLiteral("Repair Problems"), Qt::black, true);
  ButtonRow(&dialog, 214, 237, 0, 238, QString(), Qt::black, false);
  ButtonRow(&dialog, 276, 241, 0, 240, QString(), Qt::black, false);
  ButtonRow(&dialog, 338, 242, 0, 242, QStringLiteral("View scan reports"), QColor(0, 0, 0xFF),
            true);
  ButtonRow(&dialog, 390, 204, 0, 204, QStringLiteral("Update"), Qt::white, true);
  ButtonRow(&dialog, 452, 196, 0, 187, QString(), Qt::black, false, 0, 2);
  ButtonRow(&dialog, 520, 196, 0, 187, QString(), Qt::black, false, 3, 4);
  ButtonRow(&dialog, 588, 154, 0, 155, QString(), Qt::black, false);
  return Snap(&dialog);
}

QImage CheckBoxesSample() {
  CBitmapDialog dialog;
  dialog.SetBackground(297);
  dialog.resize(LogicalSize(dialog.picture()));
  const char* names[] = {
      "checked",          "unchecked",          "checked, pointer",  "unchecked, pointer",
      "checked, pressed", "unchecked, pressed", "checked, disabled", "unchecked, disabled"};
  for (int look = 0; look < 8; ++look) {
    int column = look % 2;
    int row = look / 2;
    auto* box = new CCheckBox(QString::fromLatin1(names[look]), &dialog);
    box->setGeometry(50 + column * 230, 180 + row * 24, 200, 21);
    box->SetCheck(look % 2 == 0 ? 1 : 0);
    QPoint centre = box->rect().center();
    if (look == 2 || look == 3) SendMouse(box, QEvent::MouseMove, centre);
    if (look == 4 || look == 5) SendMouse(box, QEvent::MouseButtonPress, centre);
    if (look >= 6) box->setEnabled(false);
  }
  auto* left = new CCheckBox(QStringLiteral("Text on the left"), &dialog, /*text_on_left=*/true);
  left->setGeometry(50, 124, 180, 21);
  left->SetCheck(1);
  auto* empty = new CCheckBox(QString(), &dialog);
  empty->setGeometry(280, 128, 13, 13);
  Caption(&dialog, QStringLiteral("(empty text)"), QRect(300, 126, 120, 16));
  auto* start = new CBitmapButtonEx(&dialog);
  start->SetUp(237, 238, QPoint(380, 400), QString(), 8);
  return Snap(&dialog);
}

QImage LabelsSample() {
  CBitmapDialog dialog;
  dialog.SetBackground(200);
  dialog.resize(LogicalSize(dialog.picture()));
  Caption(&dialog, QStringLiteral("REGISTRY SCAN"), QRect(50, 30, 181, 21), 14, 400,
          QColor(0xC6, 0xF4, 0x37));
  Caption(&dialog,
          QStringLiteral("PC scan in progress. Please wait for a few moments until completion."),
          QRect(30, 90, 470, 21), 9, 700, Qt::black);
  auto* placeholder =
      Caption(&dialog, QStringLiteral("Own text (stored \"Static\")"), QRect(30, 112, 230, 18));
  placeholder->SetText(QStringLiteral("Static"));
  auto* centred = Caption(&dialog, QStringLiteral("Centred"), QRect(270, 112, 230, 18), 9, 700,
                          QColor(0x0D, 0x5B, 0x99));
  centred->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  auto* right = Caption(&dialog, QStringLiteral("Right-aligned"), QRect(30, 132, 230, 18), 9, 400,
                        QColor(0x9A, 0, 0));
  right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Caption(&dialog,
          QStringLiteral("A longer text without vertical centring wraps at word boundaries inside "
                         "the label's rectangle."),
          QRect(270, 132, 230, 36), 8, 400, QColor(0x80, 0x80, 0x80));

  auto* list = new CItemListCtrl(&dialog);
  list->setGeometry(30, 180, 470, 130);
  list->InsertColumn(0, QStringLiteral("Program"), 120);
  list->InsertColumn(1, QStringLiteral("File Name"), 165);
  list->InsertColumn(2, QStringLiteral("Location"), 165);
  const char* rows[][3] = {{"Updater", "updater.exe", "HKEY_LOCAL_MACHINE"},
                           {"Tray helper", "helper.exe", "HKEY_CURRENT_USER"},
                           {"Sync", "sync.exe", "HKEY_LOCAL_MACHINE"}};
  for (int r = 0; r < 3; ++r) {
    list->InsertItem(r, QString::fromLatin1(rows[r][0]));
    list->SetItemText(r, 1, QString::fromLatin1(rows[r][1]));
    list->SetItemText(r, 2, QString::fromLatin1(rows[r][2]));
  }
  list->SetFullRowSelect(true);
  list->SelectRow(1);

  static HoldClock hold;  // must outlive the animation thread
  auto* busy = new CPictureBoxEx(&dialog, &hold);
  busy->move(300, 325);
  if (busy->Load(LoadingGifPath())) {
    busy->Draw();
    // Once the first frame is on the canvas, stop: it stays there.
    for (int i = 0; i < 5000 && !hold.holding; ++i) QThread::msleep(1);
    busy->Stop();
  }
  Caption(&dialog, QStringLiteral("Loading.gif, first frame"), QRect(330, 328, 170, 16));
  auto* stop = new CBitmapButtonEx(&dialog);
  stop->SetUp(202, 202, QPoint(415, 398), QStringLiteral("Stop Scan"), 8);
  return Snap(&dialog);
}

// The main window's picture with its buttons and gauge where the window puts
// them, to judge the artwork as a whole.
QImage MainSample() {
  CBitmapDialog dialog;
  dialog.SetBackground(149);
  dialog.resize(LogicalSize(dialog.picture()));
  Caption(&dialog, QStringLiteral("Orvane v1.0"), QRect(18, 12, 90, 15), 10, 700, Qt::white);
  struct Place {
    int normal, hover, x, y;
  };
  const Place places[] = {{156, 157, 845, 9},    {154, 155, 873, 9},   {204, 204, 626, 51},
                          {204, 204, 790, 51},   {196, 187, 32, 92},   {188, 189, 32, 152},
                          {192, 193, 32, 212},   {194, 195, 32, 272},  {292, 294, 30, 334},
                          {1240, 1241, 32, 396}, {237, 238, 679, 550}, {241, 240, 559, 550}};
  for (const Place& p : places) {
    auto* button = new CBitmapButtonEx(&dialog);
    QString caption = p.normal == 204
                          ? (p.x == 626 ? QStringLiteral("Update") : QStringLiteral("Help"))
                          : QString();
    button->SetUp(p.normal, p.hover, QPoint(p.x, p.y), caption, 9, Qt::white);
  }
  const char* sections[] = {"ActiveX / OLE",   "Application Paths",   "Sound Files",
                            "Help Files",      "Windows Startup",     "System Software Settings",
                            "Shared Dll",      "Empty Registry Keys", "System Drivers",
                            "Uninstall Files", "Windows Fonts",       "Program Shortcuts",
                            "MRU Clean"};
  for (int i = 0; i <= 12; ++i) {
    int x = i <= 6 ? 370 : 560;
    int y = 245 + 20 * (i % 7);
    auto* box = new CCheckBox(QString(), &dialog);
    box->setGeometry(x, y, 13, 13);
    box->SetCheck(1);
    Caption(&dialog, QString::fromLatin1(sections[i]), QRect(x + 20, y - 2, 160, 21), 10, 400,
            QColor(0x05, 0x3A, 0x03));
  }
  Caption(&dialog, QStringLiteral("Not scanned yet"), QRect(277, 465, 200, 15), 10, 700,
          QColor(0xBF, 0xFB, 0x08));
  Caption(&dialog, QStringLiteral("42 errors"), QRect(277, 495, 200, 21), 11, 700,
          QColor(0x74, 0x02, 0x02));
  Caption(&dialog, QStringLiteral("1.0.0"), QRect(115, 530, 125, 13), 8, 400, Qt::white);
  Caption(&dialog, QStringLiteral("Checking..."), QRect(115, 569, 126, 13), 8, 400, Qt::white);
  QImage picture = SkinImage(259);
  auto* gauge_label = new QLabel(&dialog);
  gauge_label->setGeometry(480, 460, picture.width(), picture.height());
  gauge_label->setPixmap(QPixmap::fromImage(picture));
  return Snap(&dialog);
}

}  // namespace

bool WriteGallery(const QString& dir, QStringList* written, QString* error) {
  if (!QDir().mkpath(dir)) {
    if (error) *error = QStringLiteral("cannot create %1").arg(dir);
    return false;
  }
  for (int id : SkinImageIds()) {
    if (!Save(SkinImage(id), dir, QStringLiteral("picture-%1.png").arg(id), written, error)) {
      return false;
    }
  }
  return Save(ButtonsSample(), dir, QStringLiteral("sample-buttons.png"), written, error) &&
         Save(CheckBoxesSample(), dir, QStringLiteral("sample-checkboxes.png"), written, error) &&
         Save(LabelsSample(), dir, QStringLiteral("sample-labels-list-picture.png"), written,
              error) &&
         Save(MainSample(), dir, QStringLiteral("sample-main.png"), written, error);
}

}  // namespace orvane
