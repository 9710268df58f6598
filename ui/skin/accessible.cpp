#include "ui/skin/accessible.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/skin/picture_box.h"

namespace orvane {
namespace {

QString NameOr(QWidget *widget, const QString &fallback) {
  return widget->accessibleName().isEmpty() ? fallback : widget->accessibleName();
}

class CheckBoxAccessible : public QAccessibleWidget {
 public:
  explicit CheckBoxAccessible(CCheckBox *box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return NameOr(widget(), box()->Text());
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = box()->GetCheck() == 1;
    return s;
  }
  QStringList actionNames() const override { return QStringList{toggleAction()} + QAccessibleWidget::actionNames(); }
  void doAction(const QString &action) override {
    if (action == toggleAction() || action == pressAction()) {
      if (box()->isEnabled()) box()->Toggle();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  CCheckBox *box() const { return static_cast<CCheckBox *>(widget()); }
};

class StaticTextAccessible : public QAccessibleWidget {
 public:
  explicit StaticTextAccessible(CXColorStatic *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return NameOr(widget(), static_cast<CXColorStatic *>(widget())->ShownText());
    return QAccessibleWidget::text(t);
  }
};

class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(CPictureBoxEx *picture) : QAccessibleWidget(picture, QAccessible::Graphic) {}

  QAccessible::Role role() const override {
    return static_cast<CPictureBoxEx *>(widget())->playing() ? QAccessible::Animation : QAccessible::Graphic;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return NameOr(widget(), widget()->toolTip());
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface *SkinFactory(const QString &key, QObject *object) {
  if (key == QLatin1String("orvane::CCheckBox")) return new CheckBoxAccessible(static_cast<CCheckBox *>(object));
  if (key == QLatin1String("orvane::CXColorStatic"))
    return new StaticTextAccessible(static_cast<CXColorStatic *>(object));
  if (key == QLatin1String("orvane::CPictureBoxEx")) return new PictureAccessible(static_cast<CPictureBoxEx *>(object));
  return nullptr;
}

// Controls whose name a reader takes from a label beside them.
bool NeedsLabelName(QWidget *w) {
  if (!w->accessibleName().isEmpty()) return false;
  if (auto *box = qobject_cast<CCheckBox *>(w)) return box->Text().isEmpty();
  if (auto *box = qobject_cast<QCheckBox *>(w)) return box->text().isEmpty();
  return qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
         qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w) || qobject_cast<QAbstractItemView *>(w);
}

QString LabelName(const CXColorStatic *label) {
  QString text = label->ShownText().simplified();
  if (text.endsWith(u':')) text.chop(1);
  return text;
}

// The label a reader sees `control` by, or null: on its row (right of a
// check box, left of anything else), else just above it.
const CXColorStatic *LabelFor(QWidget &window, QWidget *control, const std::vector<CXColorStatic *> &labels) {
  const QRect c(control->mapTo(&window, QPoint(0, 0)), control->size());
  const bool box = qobject_cast<CCheckBox *>(control) != nullptr;
  constexpr int kAbove = 1000;  // a label above loses to one on the row
  const CXColorStatic *best = nullptr;
  int best_distance = std::numeric_limits<int>::max();
  for (const CXColorStatic *label : labels) {
    const QRect l(label->mapTo(&window, QPoint(0, 0)), label->size());
    const bool same_row = std::abs(l.center().y() - c.center().y()) <= std::max(l.height(), c.height()) / 2;
    int distance = -1;
    if (same_row && box && l.left() >= c.right() - 2) distance = l.left() - c.right();
    if (same_row && !box && l.right() <= c.left() + 2) distance = c.left() - l.right();
    if (!box && distance < 0 && l.bottom() <= c.top() + 2 && c.top() - l.bottom() <= 30 &&
        std::abs(l.left() - c.left()) <= 40)
      distance = kAbove + c.top() - l.bottom();
    if (distance >= 0 && distance < best_distance) {
      best = label;
      best_distance = distance;
    }
  }
  return best;
}

}  // namespace

void NameControlsByTheirLabels(QWidget &window) {
  std::vector<CXColorStatic *> labels;
  for (CXColorStatic *label : window.findChildren<CXColorStatic *>())
    if (label->isVisibleTo(&window) && !LabelName(label).isEmpty()) labels.push_back(label);
  for (QWidget *control : window.findChildren<QWidget *>()) {
    if (!NeedsLabelName(control)) continue;
    if (const CXColorStatic *label = LabelFor(window, control, labels)) control->setAccessibleName(LabelName(label));
  }
}

void InstallSkinAccessibility() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(SkinFactory); });
}

}  // namespace orvane
