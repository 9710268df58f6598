#include "ui/skin/gallery.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <map>

namespace orvane {
namespace {

TEST(GalleryTest, EveryPictureHasItsStatedSize) {
  // The sizes the windows are laid out for.
  std::map<int, QSize> sizes = {
      {149, {905, 642}}, {200, {528, 461}}, {201, {450, 393}}, {211, {510, 446}}, {247, {528, 461}},
      {286, {550, 440}}, {297, {528, 461}}, {197, {104, 13}},  {154, {24, 24}},   {155, {24, 24}},
      {156, {24, 24}},   {157, {24, 24}},   {202, {81, 21}},   {203, {121, 21}},  {204, {80, 31}},
      {242, {100, 21}},  {237, {113, 31}},  {238, {113, 31}},  {240, {113, 31}},  {241, {113, 31}},
      {248, {16, 16}},   {227, {32, 32}},   {212, {450, 393}},
  };
  for (int id : {187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 292, 294, 1240, 1241}) {
    sizes[id] = QSize(181, 50);
  }
  for (int id = 252; id <= 256; ++id) sizes[id] = QSize(145, 33);
  for (int id : {257, 259, 260, 261, 262, 267}) sizes[id] = QSize(210, 75);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QStringList written;
  QString error;
  ASSERT_TRUE(WriteGallery(dir.path(), &written, &error)) << error.toStdString();
  for (const auto& [id, size] : sizes) {
    QImage image(QDir(dir.path()).filePath(QStringLiteral("picture-%1.png").arg(id)));
    ASSERT_FALSE(image.isNull()) << id;
    EXPECT_EQ(image.size(), size) << id;
  }
  EXPECT_EQ(written.size(), static_cast<qsizetype>(sizes.size()) + 4) << "no stray pictures";
  for (const QString& path : written) {
    EXPECT_GT(QFileInfo(path).size(), 100) << path.toStdString();
  }
  EXPECT_EQ(QImage(QDir(dir.path()).filePath("sample-main.png")).size(), QSize(905, 642));
}

TEST(GalleryTest, ReportsAFolderItCannotCreate) {
  QTemporaryDir dir;
  QFile blocker(dir.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QString error;
  EXPECT_FALSE(WriteGallery(dir.filePath("file/sub"), nullptr, &error));
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace orvane
