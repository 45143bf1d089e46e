// The window's side of the background credit queries: starts them and takes
// their outcomes on the window's thread.
#pragma once

#include "composer/unGetCreditThread.h"

#include <QObject>


namespace quorvel {

class TfrmSMSComposer;

/// Lives on the window's thread as a child of the window. Each query rings
/// it through a queued call when its outcome is ready; it then hands the
/// outcomes to the window in the order the queries ended. Destroying it
/// cancels every query still out, so none reaches the window afterwards.
class TCreditQueryReceiver : public QObject {
  Q_OBJECT

public:
  explicit TCreditQueryReceiver(TfrmSMSComposer* form);
  ~TCreditQueryReceiver() override;

  /// Starts one query with \p settings, read by the caller on this thread.
  void start(const TGatewaySettings& settings, const TGatewayClientOptions& options);
  /// Cancels every query still out; their outcomes are dropped.
  void cancelAll();
  /// Queries started and not yet handed to the window.
  int pending() const { return queries_.pending(); }

public slots:
  /// Hands every outcome that is ready to the window.
  void deliver();

private:
  TfrmSMSComposer* form_;
  TCreditQueries queries_;
};

} // namespace quorvel
