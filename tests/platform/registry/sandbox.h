// A private place for registry files, and child processes for tests.
#pragma once

#include <functional>
#include <string>

namespace quorvel::testsupport {

/// Points HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE at a
/// fresh temporary folder for the lifetime of the object.
class RegistrySandbox {
public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  std::string dir;         ///< the temporary folder
  std::string userFile;    ///< where HKEY_CURRENT_USER is kept
  std::string classesFile; ///< where HKEY_CLASSES_ROOT is kept
  std::string machineFile; ///< where HKEY_LOCAL_MACHINE is kept

  /// Makes the machine file and its folder read-only for everyone.
  void lockMachineFile() const;

private:
  std::string oldConfigHome_;
  bool hadConfigHome_;
};

/// Runs \p body in a forked child and returns its exit status (-1 when it
/// did not exit normally). With \p asOrdinaryUser a child running as root
/// first gives up its rights.
int runInChild(const std::function<int()>& body, bool asOrdinaryUser = false);

/// The whole content of a file ("" when missing).
std::string readAll(const std::string& path);
/// Replaces the content of a file.
void writeAll(const std::string& path, const std::string& text);
/// The permission bits of a file, or -1.
int fileMode(const std::string& path);

} // namespace quorvel::testsupport
