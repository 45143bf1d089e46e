// Helpers of the mail tests: a private mail home, an address dialog answered
// by script, and messages read back by an independent parser.
#include "mailtestsupport.h"

#include "Emapi/unMapiLib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace quorvel::test {
namespace fs = std::filesystem;

fs::path testDataDir() { return fs::path(std::getenv("QUORVEL_SOURCE_DIR")) / "tests/data"; }

TempMailHome::TempMailHome() {
  std::string pattern = (fs::temp_directory_path() / "quorvel-mail-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("no temporary folder");
  root_ = pattern;
  ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
}

TempMailHome::~TempMailHome() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void TempMailHome::addContacts(const std::vector<std::string>& files) const {
  fs::create_directories(contactsDir());
  for (const auto& f : files)
    fs::copy_file(testDataDir() / f, contactsDir() / fs::path(f).filename(),
                  fs::copy_options::overwrite_existing);
}

ScriptedDialog::ScriptedDialog(Answer answer) : answer_(std::move(answer)) {
  auto install =
      reinterpret_cast<mapi::LPSETADDRESSDIALOGHANDLER>(
          mapiLibraryExport(mapi::kExportSetAddressDialogHandler));
  if (!install)
    throw std::runtime_error("the mail library is not loaded");
  install(&ScriptedDialog::trampoline, this);
}

ScriptedDialog::~ScriptedDialog() {
  auto install =
      reinterpret_cast<mapi::LPSETADDRESSDIALOGHANDLER>(
          mapiLibraryExport(mapi::kExportSetAddressDialogHandler));
  install(nullptr, nullptr);
}

bool ScriptedDialog::trampoline(mapi::IAddressDialog& dialog, void* self) {
  auto* me = static_cast<ScriptedDialog*>(self);
  ++me->calls;
  return me->answer_(dialog);
}

ScriptedDialog::Answer pickByName(std::vector<std::vector<std::string>> wells) {
  return [wells](mapi::IAddressDialog& d) {
    for (size_t w = 0; w < wells.size(); ++w)
      for (const auto& name : wells[w]) {
        size_t c = d.findContact(name);
        EXPECT_LT(c, d.contactCount()) << name;
        d.pick(w, c);
      }
    return true;
  };
}

namespace {

std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

} // namespace

std::vector<MailFields> readMaildir(const fs::path& root, const std::string& folder) {
  fs::path script = fs::path(std::getenv("QUORVEL_SOURCE_DIR")) / "tests/Emapi/read_maildir.py";
  std::string command = "python3 '" + script.string() + "' '" + root.string() + "' '" + folder +
                        "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    throw std::runtime_error("cannot run python3");
  std::string output;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
    output.append(buf, n);
  int status = ::pclose(pipe);
  if (status != 0)
    throw std::runtime_error("python3 failed: " + output);
  std::vector<MailFields> messages;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    std::string line = output.substr(start, end == std::string::npos ? end : end - start);
    start = end == std::string::npos ? output.size() : end + 1;
    if (line == "message") {
      messages.emplace_back();
    } else if (size_t eq = line.find('='); eq != std::string::npos && !messages.empty()) {
      messages.back()[line.substr(0, eq)] = fromHex(line.substr(eq + 1));
    }
  }
  return messages;
}

} // namespace quorvel::test
