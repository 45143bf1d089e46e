// The clipboard as the command bars see it: a picture for PasteFace.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel::office {

/// A small picture: rows top first, pixels as 0xAARRGGBB.
struct FaceImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;

  bool empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const FaceImage&, const FaceImage&) = default;
};

/// Where PasteFace takes a button's face from (the host's system
/// clipboard, or a plain one in tests).
class Clipboard {
public:
  virtual ~Clipboard() = default;
  /// The picture on the clipboard; nothing when it holds none.
  virtual std::optional<FaceImage> image() const = 0;
};

/// A clipboard kept in memory.
class MemoryClipboard : public Clipboard {
public:
  std::optional<FaceImage> image() const override { return image_; }
  void setImage(FaceImage image) { image_ = std::move(image); }
  void clear() { image_.reset(); }

private:
  std::optional<FaceImage> image_;
};

} // namespace quorvel::office
