#include "platform/ui/file_icons.h"

#include <QtCore/QFileInfo>
#include <QtCore/QThread>
#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileIconProvider>

namespace {

TShellIconPixels PixelsOf(const QImage& image) {
  TShellIconPixels pixels{};
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < kShellIconSize; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < kShellIconSize; ++x) pixels[static_cast<size_t>(y * kShellIconSize + x)] = line[x];
  }
  return pixels;
}

}  // namespace

TShellIconPixels BuiltInFileIcon() {
  TShellIconPixels pixels{};
  // The page spans columns 6..25 and rows 2..29; its top-right corner is folded over 7 pixels.
  constexpr int left = 6, right = 25, top = 2, bottom = 29, fold = 7;
  constexpr uint32_t outline = 0xFF606060, paper = 0xFFFFFFFF, flap = 0xFFD0D0D0;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      const int intoFold = (x - (right - fold)) - (y - top);  // > 0: cut off by the fold
      if (intoFold > 0) continue;
      uint32_t c = paper;
      if (x == left || x == right || y == top || y == bottom || intoFold == 0) c = outline;
      else if (x > right - fold && y < top + fold && x - (right - fold) <= fold) c = flap;
      pixels[static_cast<size_t>(y * kShellIconSize + x)] = c;
    }
  for (int k = 0; k <= fold; ++k) {
    pixels[static_cast<size_t>((top + fold) * kShellIconSize + right - fold + k)] = outline;
    pixels[static_cast<size_t>((top + k) * kShellIconSize + right - fold)] = outline;
  }
  return pixels;
}

TShellIconPixels ShellFileIcon(const std::string& FileName) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread()) return BuiltInFileIcon();
  QFileIconProvider provider;
  const QIcon icon = provider.icon(QFileInfo(QString::fromStdString(FileName)));
  if (icon.isNull()) return BuiltInFileIcon();
  const QPixmap pixmap = icon.pixmap(kShellIconSize, kShellIconSize);
  if (pixmap.isNull()) return BuiltInFileIcon();
  // Centred on a transparent 32 x 32 ground whatever size the theme gave.
  QImage image(kShellIconSize, kShellIconSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    const QImage picture = pixmap.toImage().scaled(kShellIconSize, kShellIconSize, Qt::KeepAspectRatio,
                                                   Qt::SmoothTransformation);
    painter.drawImage((kShellIconSize - picture.width()) / 2, (kShellIconSize - picture.height()) / 2, picture);
  }
  TShellIconPixels pixels = PixelsOf(image);
  bool anything = false;
  for (const uint32_t p : pixels) anything |= (p >> 24) != 0;
  return anything ? pixels : BuiltInFileIcon();
}
