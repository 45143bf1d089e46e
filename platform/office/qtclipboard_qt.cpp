// The system clipboard's picture for PasteFace, and faces as Qt images.
#include "office/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

namespace quorvel::office {

std::optional<FaceImage> QtClipboard::image() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return std::nullopt;
  const QImage image = clipboard->image();
  if (image.isNull()) return std::nullopt;
  return faceFromImage(image);
}

FaceImage faceFromImage(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  FaceImage face{argb.width(), argb.height(), {}};
  face.argb.reserve(size_t(face.width) * size_t(face.height));
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
    face.argb.insert(face.argb.end(), row, row + argb.width());
  }
  return face;
}

QImage imageFromFace(const FaceImage& face) {
  if (face.empty() || face.argb.size() != size_t(face.width) * size_t(face.height)) return {};
  QImage image(face.width, face.height, QImage::Format_ARGB32);
  for (int y = 0; y < face.height; ++y)
    std::copy_n(face.argb.data() + size_t(y) * size_t(face.width), face.width,
                reinterpret_cast<uint32_t*>(image.scanLine(y)));
  return image;
}

} // namespace quorvel::office
