// Resources carried inside the library (the button face, bitmap 101) and
// their lookup by module, id and type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

/// A loaded module, identified by its load address.
using HMODULE = const void*;

inline constexpr char RT_BITMAP[] = "BITMAP";
/// The id of the buttons' face.
inline constexpr int kButtonFaceBitmap = 101;

/// The bytes of one resource.
struct TResourceData {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

/// An image decoded from a bitmap resource: rows top first, three bytes
/// (red, green, blue) per pixel.
struct TBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

/// The module holding this code.
HMODULE HInstance();
/// The full path of the file this code was loaded from.
std::string ownModulePath();
/// The path COM registration records for this library: ownModulePath(),
/// in its short (8.3) form on Windows when it contains a blank.
std::string registryModulePath();
/// Records the module handle the loader passed to DllMain (Windows only;
/// elsewhere the module is found from the code's address).
void setHInstance(HMODULE module);
/// Finds resource \p id of \p type in \p module; false when the module
/// carries no such resource.
bool FindResource(HMODULE module, int id, const char* type, TResourceData* out);
/// Loads a 24-bit bitmap resource (a device-independent bitmap without
/// file header); false when it is missing or not a well-formed 24-bit
/// bitmap.
bool LoadBitmap(HMODULE module, int id, TBitmap* out);
/// Decodes a device-independent bitmap (BITMAPINFOHEADER then pixels) of
/// 24 bits per pixel; false for anything else or short data.
bool decodeDib24(const unsigned char* data, size_t size, TBitmap* out);

} // namespace quorvel
