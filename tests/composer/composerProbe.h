// Test support: a composer window whose dialogs and printer are answered by
// the test, and a private settings store for each test.
#pragma once

#include "canned_server.h"
#include "composer/unSMSForm.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

/// The composer with every dialog answered from its fields.
class ProbeForm : public TfrmSMSComposer {
public:
  struct Box {
    std::string text;
    std::string caption;
    MsgIcon icon;
  };

  std::vector<std::string> messages;            ///< plain message dialogs shown
  std::vector<Box> boxes;                        ///< message boxes shown
  std::vector<TFileDialogOptions> fileDialogs;   ///< file dialogs shown
  std::string savePath;                          ///< answer of the save dialog ("" cancels)
  std::string openPath;                          ///< answer of the open dialog ("" cancels)
  MsgResult boxAnswer = MsgResult::ok;           ///< answer of every message box
  std::vector<std::string> addressSelection;     ///< answer of the address dialog
  int addressDialogs = 0;                        ///< address dialogs shown
  std::string pdfPath; ///< prints into this PDF file; "" uses the real default printer

  void showMessage(const std::string& text) override { messages.push_back(text); }
  MsgResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                       MsgButtons) override {
    boxes.push_back({text, caption, icon});
    return boxAnswer;
  }
  std::string saveFileDialog(const TFileDialogOptions& options) override {
    fileDialogs.push_back(options);
    return savePath;
  }
  std::string openFileDialog(const TFileDialogOptions& options) override {
    fileDialogs.push_back(options);
    return openPath;
  }

protected:
  void selectAddresses() override {
    ++addressDialogs;
    applyAddressSelection(addressSelection);
  }
  bool preparePrinter(QPrinter& printer) override;
};

/// Gives each test an empty settings store of its own. Its server URL
/// points at a port where nothing answers, so the credit query of each
/// showing never reaches a gateway that happens to run on the default port.
class ComposerTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  /// Shows \p form and makes it the active window.
  static void showActive(QWidget& form);

  QTemporaryDir configHome;
  /// Leaves the server URL unset, for tests of the settings' defaults.
  bool keepDefaultServer = false;

private:
  QByteArray savedConfigHome_;
  std::unique_ptr<testing::IdlePort> closedServer_;
};

/// Text of a file's bytes (binary safe).
std::string readFileBytes(const std::string& path);
/// Writes \p bytes to \p path.
void writeFileBytes(const std::string& path, const std::string& bytes);

} // namespace quorvel
