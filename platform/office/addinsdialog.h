// The "COM Add-ins" dialog: the host's registered add-ins, ticked when
// loaded; OK loads the newly ticked and unloads the unticked.
#pragma once

#include "office/addins.h"

#include <QDialog>

class QLabel;
class QListWidget;

namespace quorvel::office {

/// Lists the add-ins of one host with their state and last error.
class AddInsDialog : public QDialog {
public:
  AddInsDialog(AddInManager& manager, QWidget* parent = nullptr);

  /// Loads the ticked add-ins that are not loaded and unloads the unticked
  /// ones that are (failures go to the manager's message handler).
  void apply();
  QListWidget* list() const { return list_; }

private:
  void fill();
  void showDetails();

  AddInManager& manager_;
  QListWidget* list_;
  QLabel* details_;
};

} // namespace quorvel::office
