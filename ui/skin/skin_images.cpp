#include "ui/skin/skin_images.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <mutex>

// The resources live in a static library; naming the initialiser here makes
// the linker keep them in every program that uses the artwork.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }

namespace orvane {
namespace {

void EnsureResources() {
  static std::once_flag once;
  std::call_once(once, InitSkinResources);
}

constexpr int kIconId = 227;

}  // namespace

const std::vector<int>& SkinImageIds() {
  static const std::vector<int> ids = [] {
    EnsureResources();
    std::vector<int> found;
    QDirIterator it(QStringLiteral(":/skin"), {QStringLiteral("*.svg")}, QDir::Files);
    while (it.hasNext()) {
      bool ok = false;
      int id = QFileInfo(it.next()).completeBaseName().toInt(&ok);
      if (ok) found.push_back(id);
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return ids;
}

QString SkinImagePath(int id) { return QStringLiteral(":/skin/%1.svg").arg(id); }

QSize SkinImageSize(int id) {
  EnsureResources();
  QSvgRenderer renderer(SkinImagePath(id));
  return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QImage SkinImage(int id) { return SkinImage(id, 1.0); }

QImage SkinImage(int id, qreal dpr, QSize size) {
  EnsureResources();
  QSvgRenderer renderer(SkinImagePath(id));
  if (!renderer.isValid() || renderer.defaultSize().isEmpty()) return {};
  if (size.isEmpty()) size = renderer.defaultSize();
  if (dpr <= 0) dpr = 1.0;
  QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
  painter.end();
  image.setDevicePixelRatio(dpr);
  return image;
}

QSize LogicalSize(const QImage& image) { return image.deviceIndependentSize().toSize(); }

QIcon SkinIcon() {
  EnsureResources();
  QIcon icon;
  QSvgRenderer renderer(SkinImagePath(kIconId));
  if (!renderer.isValid()) return icon;
  for (int side : {16, 32}) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

QString LoadingGifPath() {
  EnsureResources();
  return QStringLiteral(":/skin/Loading.gif");
}

}  // namespace orvane
