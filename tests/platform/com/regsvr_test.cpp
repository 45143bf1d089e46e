// quorvel-regsvr against the test server: exit codes, messages, registry.
#include "registry/winreg.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace reg = quorvel::winreg;

namespace {

struct ToolRun {
  int code;
  std::string output;
};

ToolRun regsvr(const std::string& args) {
  std::string command = std::string(REGSVR_TOOL) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun r{-1, ""};
  if (!pipe) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, n);
  int status = pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

bool counterRegistered() {
  reg::HKEY h = nullptr;
  bool found = reg::RegOpenKeyExA(reg::HKEY_CLASSES_ROOT,
                                  "CLSID\\{6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F01}\\InprocServer32", 0,
                                  reg::KEY_READ, &h) == reg::ERROR_SUCCESS;
  if (found) reg::RegCloseKey(h);
  return found;
}

TEST(Regsvr, RegistersAndUnregisters) {
  quorvel::testsupport::RegistrySandbox sandbox;
  ToolRun r = regsvr(COMTEST_SERVER);
  EXPECT_EQ(r.code, 0) << r.output;
  EXPECT_EQ(r.output, std::string("DllRegisterServer in ") + COMTEST_SERVER + " succeeded.\n");
  EXPECT_TRUE(counterRegistered());

  r = regsvr(std::string("/u /s ") + COMTEST_SERVER);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, "");
  EXPECT_FALSE(counterRegistered());
}

TEST(Regsvr, ReportsEachFailureWithItsExitCode) {
  quorvel::testsupport::RegistrySandbox sandbox;
  ToolRun r = regsvr("/nonexistent/libNothing.so");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.output.find("The module \"/nonexistent/libNothing.so\" failed to load."), std::string::npos)
      << r.output;

  r = regsvr(COMTEST_NOENTRY);
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.output.find("was loaded but the entry-point DllRegisterServer was not found."),
            std::string::npos)
      << r.output;

  {
    setenv("COMTEST_FAIL_REGISTER", "1", 1);
    r = regsvr(COMTEST_SERVER);
    unsetenv("COMTEST_FAIL_REGISTER");
  }
  EXPECT_EQ(r.code, 5);
  EXPECT_NE(r.output.find("the call to DllRegisterServer failed with error code 0x80070005."),
            std::string::npos)
      << r.output;

  EXPECT_EQ(regsvr("/x " + std::string(COMTEST_SERVER)).code, 1);
  r = regsvr("");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.output.find("you must provide a binary name"), std::string::npos);
}

} // namespace
