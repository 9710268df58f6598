// The program's artwork: numbered pictures kept as SVG sources in the
// resources and rendered at their own pixel sizes. Call from the interface
// thread (or any thread once a QGuiApplication exists).
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace orvane {

// Every numbered picture the resources hold, in ascending order.
const std::vector<int>& SkinImageIds();

// Resource path of picture `id` (":/skin/<id>.svg").
QString SkinImagePath(int id);

// Picture `id` rendered at its own pixel size with a transparent background
// where the artwork has none; a null image when there is no such picture or
// its source cannot be read.
QImage SkinImage(int id);

// Picture `id` drawn for a screen of device pixel ratio `dpr`: the vector
// source rendered at `size` x dpr pixels (its own size when `size` is
// empty), carrying that ratio, so a painter draws it sharp at `size` logical
// pixels. A null image as above.
QImage SkinImage(int id, qreal dpr, QSize size = {});

// The logical size of a picture that may carry a device pixel ratio.
QSize LogicalSize(const QImage& image);

// The pixel size picture `id` renders at; an empty size when it is missing.
QSize SkinImageSize(int id);

// The window and tray icon (picture 227) at 16 and 32 pixels.
QIcon SkinIcon();

// Resource path of the busy animation the scan window plays.
QString LoadingGifPath();

}  // namespace orvane
