// The system clipboard (Qt) as the command bars' picture source.
#pragma once

#include "office/clipboard.h"

class QImage;

namespace quorvel::office {

/// PasteFace's clipboard: the picture on the system clipboard.
class QtClipboard : public Clipboard {
public:
  std::optional<FaceImage> image() const override;
};

/// A picture as a face (any format; converted to 32-bit ARGB).
FaceImage faceFromImage(const QImage& image);
/// A face as a picture.
QImage imageFromFace(const FaceImage& face);

} // namespace quorvel::office
