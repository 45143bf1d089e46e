// Tests of the registry value store: path rules, defaults and failures.
#include "util/unRegistry.h"

#include "registry/winreg.h"
#include "sandbox.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using namespace winreg;
using testsupport::RegistrySandbox;

constexpr const char* kSettings = "HKEY_CURRENT_USER\\Software\\Kavri\\Nemora\\Outlook\\";

// The string stored at root\path\name, read through the layer itself.
std::string stored(HKEY root, const char* path, const char* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
  char buf[256] = {};
  DWORD size = sizeof buf;
  const LONG rc = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS ? buf : "<no value>";
}

class RegistryStore : public ::testing::Test {
protected:
  RegistrySandbox box;
};

TEST_F(RegistryStore, SettingsRoundTrip) {
  EXPECT_EQ(kaLoadFromreg(kSettings, "ServerURL", "http://default/"), "http://default/");
  kaSaveToreg(kSettings, "ServerURL", "https://gw.example/sms.php");
  kaSaveToreg(kSettings, "Password", "p\xc3\xa4ss \"w\\rd\"");
  EXPECT_EQ(kaLoadFromreg(kSettings, "ServerURL", "x"), "https://gw.example/sms.php");
  EXPECT_EQ(kaLoadFromreg(kSettings, "password", "x"), "p\xc3\xa4ss \"w\\rd\"");
  EXPECT_EQ(stored(HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook", "ServerURL"),
            "https://gw.example/sms.php");
  EXPECT_EQ(testsupport::fileMode(box.userFile), 0600);
}

TEST_F(RegistryStore, EmptyAndMissingGiveTheDefault) {
  kaSaveToreg(kSettings, "Empty", "");
  EXPECT_EQ(stored(HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook", "Empty"), "");
  EXPECT_EQ(kaLoadFromreg(kSettings, "Empty", "def"), "def");
  EXPECT_EQ(kaLoadFromreg(kSettings, "Absent", "def"), "def");
  EXPECT_EQ(kaLoadFromreg("HKEY_CURRENT_USER\\No\\Such\\Key", "X", "def"), "def");
}

TEST_F(RegistryStore, PathRules) {
  struct Case {
    const char* path;    // as given to the store
    HKEY root;           // where the value must land
    const char* keyPath; // below that root
  };
  const Case cases[] = {
      {"\\Software\\X", HKEY_LOCAL_MACHINE, "Software\\X"},
      {"Software\\Plain", HKEY_LOCAL_MACHINE, "Software\\Plain"},
      {"HKEY_LOCAL_MACHINE\\Software\\Y", HKEY_LOCAL_MACHINE, "Software\\Y"},
      {"\\HKEY_CURRENT_USER\\Software\\Z\\", HKEY_CURRENT_USER, "Software\\Z"},
      {"HKEY_CLASSES_ROOT\\Foo", HKEY_CURRENT_USER, "HKEY_CLASSES_ROOT\\Foo"},
      // The root is found anywhere but cut off counted from the start.
      {"Software\\HKEY_CURRENT_USER\\X", HKEY_CURRENT_USER, "RENT_USER\\X"},
      {"HKEY_CURRENT_USERSoftware\\W", HKEY_CURRENT_USER, "Software\\W"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    kaSaveToreg(c.path, "V", c.path);
    EXPECT_EQ(stored(c.root, c.keyPath, "V"), c.path);
    EXPECT_EQ(kaLoadFromreg(c.path, "V", "def"), c.path);
  }
}

TEST_F(RegistryStore, WrongTypeAndFailedWriteRaise) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\T", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr),
            ERROR_SUCCESS);
  const DWORD three = 3;
  ASSERT_EQ(RegSetValueExA(k, "LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three), 4),
            ERROR_SUCCESS);
  RegCloseKey(k);
  try {
    kaLoadFromreg("HKEY_CURRENT_USER\\Software\\T", "LoadBehavior", "d");
    FAIL() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'LoadBehavior'");
  }
  try {
    kaSaveToreg("HKEY_CURRENT_USER\\Software\\T", "Bad", "\xff not text");
    FAIL() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Bad'");
  }
  EXPECT_EQ(stored(HKEY_CURRENT_USER, "Software\\T", "Bad"), "<no value>");
}

TEST_F(RegistryStore, MachineKeysNeedFullRights) {
  kaSaveToreg("\\Software\\M", "V", "machine");
  box.lockMachineFile();
  const int code = testsupport::runInChild(
      [] {
        // Full rights are refused, so the value reads as missing...
        if (kaLoadFromreg("\\Software\\M", "V", "def") != "def") return 1;
        // ...and writing quietly does nothing.
        kaSaveToreg("\\Software\\M", "V", "changed");
        kaSaveToreg("\\Software\\New", "V", "x");
        return 0;
      },
      true);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "Software\\M", "V"), "machine");
  EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "Software\\New", "V"), "<no key>");
}

} // namespace
} // namespace quorvel
