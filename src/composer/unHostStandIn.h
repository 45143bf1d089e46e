// What the composer program does in place of the host's "SMS" button.
#pragma once

#include <QObject>

class QWidget;

namespace quorvel {

/// Watches the composer window of the program that runs it without a host:
/// a window hidden by a successful send comes back at once, started afresh
/// as a click on the host's button starts it; closing it ends the program.
class THostStandIn : public QObject {
public:
  /// Watches \p window, as its child.
  explicit THostStandIn(QWidget* window);

  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QWidget* window_;
  bool closing_ = false;
};

} // namespace quorvel
