// What the composer program does in place of the host's "SMS" button.
#include "composer/unHostStandIn.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quorvel {

THostStandIn::THostStandIn(QWidget* window) : QObject(window), window_(window) {
  window->installEventFilter(this);
}

bool THostStandIn::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) {
    if (event->type() == QEvent::Close) {
      closing_ = true;
    } else if (event->type() == QEvent::Hide && !event->spontaneous() && !closing_) {
      QTimer::singleShot(0, window_, [window = window_] {
        window->show();
        window->raise();
        window->activateWindow();
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

} // namespace quorvel
