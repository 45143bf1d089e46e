// The buttons' face on its way through the clipboard to PasteFace.
#include "addin/unButtonFace.h"

#include "addin/unResources.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>

namespace quorvel {

namespace {

QClipboard* clipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                       : nullptr;
}

/// A copy of every format the clipboard holds now.
QMimeData* copyOf(const QMimeData* from) {
  auto* copy = new QMimeData;
  if (from)
    for (const QString& format : from->formats())
      copy->setData(format, from->data(format));
  return copy;
}

// The toolkit's clipboard needs no opening; an attempt fails only while
// another program is said to hold it.
bool openClipboard() {
  return openClipboardRetrying([] { return true; });
}

} // namespace

TClipboardFace::TClipboardFace() {
  TBitmap bitmap;
  QClipboard* board = clipboard();
  if (!board || !LoadBitmap(HInstance(), kButtonFaceBitmap, &bitmap) || !openClipboard())
    return;
  QImage image(bitmap.rgb.data(), bitmap.width, bitmap.height, bitmap.width * 3,
               QImage::Format_RGB888);
  saved_ = copyOf(board->mimeData());
  board->setImage(image.copy());
}

TClipboardFace::~TClipboardFace() {
  auto* saved = static_cast<QMimeData*>(saved_);
  if (!saved)
    return;
  // The face stays on a clipboard that cannot be had back.
  if (QClipboard* board = clipboard(); board && openClipboard()) {
    if (saved->formats().isEmpty()) {
      board->clear();
      delete saved;
    } else {
      board->setMimeData(saved); // the clipboard owns it from here
    }
  } else {
    delete saved;
  }
}

} // namespace quorvel
