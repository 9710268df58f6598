#include "ui/skin/accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <mutex>

#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/skin/picture_box.h"

namespace orvane {
namespace {

QString NameOr(QWidget *widget, const QString &fallback) {
  return widget->accessibleName().isEmpty() ? fallback
                                            : widget->accessibleName();
}

class CheckBoxAccessible : public QAccessibleWidget {
public:
  explicit CheckBoxAccessible(CCheckBox *box)
      : QAccessibleWidget(box, QAccessible::CheckBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name)
      return NameOr(widget(), box()->Text());
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = box()->GetCheck() == 1;
    return s;
  }
  QStringList actionNames() const override {
    return QStringList{toggleAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString &action) override {
    if (action == toggleAction() || action == pressAction()) {
      if (box()->isEnabled())
        box()->Toggle();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

private:
  CCheckBox *box() const { return static_cast<CCheckBox *>(widget()); }
};

class StaticTextAccessible : public QAccessibleWidget {
public:
  explicit StaticTextAccessible(CXColorStatic *label)
      : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name)
      return NameOr(widget(),
                    static_cast<CXColorStatic *>(widget())->ShownText());
    return QAccessibleWidget::text(t);
  }
};

class PictureAccessible : public QAccessibleWidget {
public:
  explicit PictureAccessible(CPictureBoxEx *picture)
      : QAccessibleWidget(picture, QAccessible::Graphic) {}

  QAccessible::Role role() const override {
    return static_cast<CPictureBoxEx *>(widget())->playing()
               ? QAccessible::Animation
               : QAccessible::Graphic;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name)
      return NameOr(widget(), widget()->toolTip());
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface *SkinFactory(const QString &key, QObject *object) {
  if (key == QLatin1String("orvane::CCheckBox"))
    return new CheckBoxAccessible(static_cast<CCheckBox *>(object));
  if (key == QLatin1String("orvane::CXColorStatic"))
    return new StaticTextAccessible(static_cast<CXColorStatic *>(object));
  if (key == QLatin1String("orvane::CPictureBoxEx"))
    return new PictureAccessible(static_cast<CPictureBoxEx *>(object));
  return nullptr;
}

} // namespace

void InstallSkinAccessibility() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(SkinFactory); });
}

} // namespace orvane
