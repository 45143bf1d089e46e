// Bitmap resources decoded the same way on every platform.
#include "addin/unResources.h"

namespace quorvel {

namespace {

uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

} // namespace

bool decodeDib24(const unsigned char* data, size_t size, TBitmap* out) {
  constexpr size_t kHeader = 40;
  if (!data || !out || size < kHeader || le32(data) < kHeader)
    return false;
  const int32_t width = int32_t(le32(data + 4));
  const int32_t rawHeight = int32_t(le32(data + 8));
  if (le16(data + 12) != 1 || le16(data + 14) != 24 || le32(data + 16) != 0)
    return false;
  if (width <= 0 || width > 4096 || rawHeight == 0 || rawHeight < -4096 || rawHeight > 4096)
    return false;
  const int height = rawHeight < 0 ? -rawHeight : rawHeight;
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  const size_t offset = le32(data);
  if (size < offset || (size - offset) / stride < size_t(height))
    return false;
  out->width = width;
  out->height = height;
  out->rgb.assign(size_t(width) * height * 3, 0);
  for (int row = 0; row < height; ++row) {
    // Rows are stored bottom first unless the height is negative.
    const unsigned char* src = data + offset + stride * size_t(rawHeight > 0 ? height - 1 - row : row);
    uint8_t* dst = out->rgb.data() + size_t(row) * width * 3;
    for (int x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return true;
}

bool LoadBitmap(HMODULE module, int id, TBitmap* out) {
  TResourceData resource;
  return FindResource(module, id, RT_BITMAP, &resource) &&
         decodeDib24(resource.data, resource.size, out);
}

} // namespace quorvel
