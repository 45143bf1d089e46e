// Tests of the registry layer: values, keys, handles and the file format.
#include "registry/winreg.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace quorvel::winreg {
namespace {

using testsupport::readAll;
using testsupport::RegistrySandbox;

HKEY create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disp = nullptr) {
  HKEY k = nullptr;
  EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, sam, nullptr, &k, disp), ERROR_SUCCESS) << path;
  return k;
}

LONG setString(HKEY k, const char* name, const std::string& s, DWORD type = REG_SZ) {
  return RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(s.c_str()),
                        static_cast<DWORD>(s.size() + 1));
}

LONG setBytes(HKEY k, const char* name, DWORD type, const std::string& b) {
  return RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(b.data()),
                        static_cast<DWORD>(b.size()));
}

// Type and bytes of a value, or the error code in `rc`.
struct Read {
  LONG rc;
  DWORD type;
  std::string bytes;
};

Read query(HKEY k, const char* name) {
  Read r{};
  DWORD size = 0;
  r.rc = RegQueryValueExA(k, name, nullptr, &r.type, nullptr, &size);
  if (r.rc != ERROR_SUCCESS) return r;
  r.bytes.resize(size);
  r.rc = RegQueryValueExA(k, name, nullptr, &r.type, reinterpret_cast<BYTE*>(r.bytes.data()), &size);
  return r;
}

class WinReg : public ::testing::Test {
protected:
  RegistrySandbox box;
};

TEST_F(WinReg, ValuesOfEveryTypeRoundTrip) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    DWORD type;
    std::string value; // text without its terminator, or raw bytes
  };
  const Case cases[] = {
      {"Plain", REG_SZ, "https://gw.example/api?a=1&b=\"2\""},
      {"Slashes", REG_SZ, "C:\\dir\\\\x\\"},
      {"Lines", REG_SZ, "one\r\ntwo\tthree"},
      {"Accents", REG_SZ, "\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"Empty", REG_SZ, ""},
      {"", REG_SZ, "default"},
      {"Expand", REG_EXPAND_SZ, "%HOME%\\x"},
      {"Number", REG_DWORD, "\x03\x00\x00\x80"s},
      {"Blob", REG_BINARY, "\x00\xff\x10\n"s},
      {"NoBytes", REG_BINARY, ""},
  };
  HKEY k = create(HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook");
  for (const Case& c : cases) {
    const bool text = c.type == REG_SZ || c.type == REG_EXPAND_SZ;
    ASSERT_EQ(text ? setString(k, c.name, c.value, c.type) : setBytes(k, c.name, c.type, c.value),
              ERROR_SUCCESS)
        << c.name;
  }
  ASSERT_EQ(RegCloseKey(k), ERROR_SUCCESS);

  // A fresh handle reads everything back from the file.
  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook", 0, KEY_READ, &again),
            ERROR_SUCCESS);
  for (const Case& c : cases) {
    const Read r = query(again, c.name);
    EXPECT_EQ(r.rc, ERROR_SUCCESS) << c.name;
    EXPECT_EQ(r.type, c.type) << c.name;
    const bool text = c.type == REG_SZ || c.type == REG_EXPAND_SZ;
    EXPECT_EQ(r.bytes, text ? c.value + '\0' : c.value) << c.name;
  }
  // Values enumerate in the order they were written.
  for (DWORD i = 0; i < std::size(cases); ++i) {
    char name[64];
    DWORD cch = sizeof name, type = 0;
    ASSERT_EQ(RegEnumValueA(again, i, name, &cch, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, cases[i].name);
    EXPECT_EQ(cch, std::strlen(cases[i].name));
  }
  char name[8];
  DWORD cch = sizeof name;
  EXPECT_EQ(RegEnumValueA(again, std::size(cases), name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  RegCloseKey(again);

  const std::string file = readAll(box.userFile);
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n", 0), 0u) << file;
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Kavri\\Nemora\\Outlook]\n"), std::string::npos);
  EXPECT_NE(file.find("\"Slashes\"=\"C:\\\\dir\\\\\\\\x\\\\\"\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Number\"=dword:80000003\n"), std::string::npos);
  EXPECT_NE(file.find("\"Blob\"=hex:00,ff,10,0a\n"), std::string::npos);
  EXPECT_NE(file.find("@=\"default\"\n"), std::string::npos);
  EXPECT_NE(file.find("\"Expand\"=hex(2):25,00,48,00,"), std::string::npos);
}

TEST_F(WinReg, QueryBufferRules) {
  HKEY k = create(HKEY_CURRENT_USER, "Software\\Q");
  ASSERT_EQ(setString(k, "V", "12345"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(k, "V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  char small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(k, "V", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(RegQueryValueExA(k, "V", nullptr, &type, reinterpret_cast<BYTE*>(small), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(k, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExA(k, "D", 0, REG_DWORD, reinterpret_cast<const BYTE*>("ab"), 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(k, "Bad", "\xff\xfe"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(k, "Two\nLines", "x"), ERROR_INVALID_PARAMETER);
  RegCloseKey(k);
}

TEST_F(WinReg, NamesIgnoreCaseAndKeepTheirCase) {
  DWORD disp = 0;
  HKEY k = create(HKEY_CURRENT_USER, "Software\\Kavri", KEY_ALL_ACCESS, &disp);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  ASSERT_EQ(setString(k, "UserName", "first"), ERROR_SUCCESS);
  ASSERT_EQ(setString(k, "USERNAME", "second"), ERROR_SUCCESS);
  RegCloseKey(k);

  HKEY sub = create(HKEY_CURRENT_USER, "SOFTWARE\\kavri\\Sub", KEY_ALL_ACCESS, &disp);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  RegCloseKey(sub);
  HKEY same = create(HKEY_CURRENT_USER, "software\\KAVRI", KEY_ALL_ACCESS, &disp);
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(query(same, "username").bytes, std::string("second\0", 7));
  char name[32];
  DWORD cch = sizeof name;
  ASSERT_EQ(RegEnumValueA(same, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "UserName");
  cch = sizeof name;
  EXPECT_EQ(RegEnumValueA(same, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  cch = 4; // too small for the name and its terminator
  EXPECT_EQ(RegEnumValueA(same, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(same);

  const std::string file = readAll(box.userFile);
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Kavri\\Sub]"), std::string::npos) << file;
  EXPECT_EQ(file.find("SOFTWARE"), std::string::npos) << file;
}

TEST_F(WinReg, OpenRulesAndHandles) {
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\None", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(k, nullptr);
  HKEY parent = create(HKEY_CURRENT_USER, "Software\\P");
  HKEY child = create(parent, "C\\D"); // relative to an open key, parents made
  RegCloseKey(child);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\P\\C\\D\\", 0, KEY_READ, &k), ERROR_SUCCESS);
  EXPECT_EQ(setString(k, "V", "x"), ERROR_ACCESS_DENIED); // opened for reading only
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(query(nullptr, "V").rc, ERROR_INVALID_HANDLE);
  RegCloseKey(parent);
}

TEST_F(WinReg, Deleting) {
  HKEY k = create(HKEY_CURRENT_USER, "Software\\Del\\A\\B");
  ASSERT_EQ(setString(k, "V", "x"), ERROR_SUCCESS);
  HKEY a = create(HKEY_CURRENT_USER, "Software\\Del\\A");
  ASSERT_EQ(setString(a, "W", "y"), ERROR_SUCCESS);
  ASSERT_EQ(setString(a, "Z", "z"), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteValueA(a, "w"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(a, "W"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Del\\A"), ERROR_ACCESS_DENIED); // has a subkey
  EXPECT_EQ(RegDeleteKeyA(a, "B"), ERROR_SUCCESS);
  EXPECT_EQ(setString(k, "V", "again"), ERROR_KEY_DELETED); // its key is gone
  RegCloseKey(k);

  ASSERT_EQ(RegCloseKey(create(a, "X\\Y")), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(a, nullptr), ERROR_SUCCESS); // empties the key, keeps it
  EXPECT_EQ(query(a, "Z").rc, ERROR_FILE_NOT_FOUND);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(a, "X", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(a, "", 0, KEY_READ, &gone), ERROR_SUCCESS);
  RegCloseKey(gone);
  RegCloseKey(a);

  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "software\\DEL"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Del"), ERROR_FILE_NOT_FOUND);
  HKEY soft = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &soft), ERROR_SUCCESS);
  RegCloseKey(soft);
}

TEST_F(WinReg, EnumeratesDirectSubkeysOnce) {
  RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Enum\\Beta\\Deep"));
  RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Enum\\alpha"));
  RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Enum\\Beta\\Other"));
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\enum", 0, KEY_READ, &k), ERROR_SUCCESS);
  std::vector<std::string> names;
  char name[16];
  DWORD len = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, len = sizeof name)
    names.emplace_back(name, len);
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta"}));
  len = 4; // "alpha" and its terminator do not fit
  EXPECT_EQ(RegEnumKeyExA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(k);
}

TEST_F(WinReg, RootsAreSeparateFiles) {
  HKEY c = create(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32");
  ASSERT_EQ(setString(c, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
  RegCloseKey(c);
  HKEY m = create(HKEY_LOCAL_MACHINE, "Software\\M");
  ASSERT_EQ(setString(m, "", "machine"), ERROR_SUCCESS);
  RegCloseKey(m);
  EXPECT_NE(readAll(box.classesFile).find("[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]"),
            std::string::npos);
  EXPECT_NE(readAll(box.machineFile).find("[HKEY_LOCAL_MACHINE\\Software\\M]\n@=\"machine\""),
            std::string::npos);
  EXPECT_EQ(readAll(box.userFile), "");
}

TEST_F(WinReg, ReadsHandWrittenExports) {
  testsupport::writeAll(box.userFile,
                        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                        "\r\n"
                        "; written by hand\r\n"
                        "[HKEY_CURRENT_USER\\Software\\Hand]\r\n"
                        "\"Long\"=hex:01,02,\\\r\n"
                        "  03,04\r\n"
                        "\"Count\"=dword:0000002a\r\n"
                        "\"Path\"=hex(2):25,00,54,00,25,00,00,00\r\n"
                        "\"Gone\"=\"x\"\r\n"
                        "\"Gone\"=-\r\n"
                        "\"Nl\"=\"a\\nb\"\r\n"
                        "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Hand", 0, KEY_READ, &k), ERROR_SUCCESS);
  EXPECT_EQ(query(k, "Long").bytes, std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(query(k, "Count").bytes, std::string("\x2a\0\0\0", 4));
  const Read path = query(k, "Path");
  EXPECT_EQ(path.type, REG_EXPAND_SZ);
  EXPECT_EQ(path.bytes, std::string("%T%\0", 4));
  EXPECT_EQ(query(k, "Gone").rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(query(k, "Nl").bytes, std::string("a\nb\0", 4));
  RegCloseKey(k);
}

TEST_F(WinReg, DamagedFileIsReportedAndKept) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"A\"=\"1\"\n"
      "\"B\"=nonsense\n";
  testsupport::writeAll(box.userFile, damaged);
  ::testing::internal::CaptureStderr();
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr),
            ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2),
            ERROR_REGISTRY_CORRUPT);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(box.userFile + ":5:"), std::string::npos) << err;
  EXPECT_EQ(err.find("damaged"), err.rfind("damaged")) << "reported once: " << err;
  EXPECT_EQ(readAll(box.userFile), damaged);

  const char* others[] = {
      "not a registry file\n",
      "Windows Registry Editor Version 5.00\n\"A\"=\"outside a key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n\"A\"=hex:1,2\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n\"A\"=\"open\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n\"A\"=hex(1):41\n",
  };
  for (const char* text : others) {
    testsupport::writeAll(box.userFile, text);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2),
              ERROR_REGISTRY_CORRUPT)
        << text;
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(box.userFile), std::string::npos) << text;
    EXPECT_EQ(readAll(box.userFile), text);
  }
}

TEST_F(WinReg, DamageIsToldWithFileAndLine) {
  HiveDamage damage;
  EXPECT_FALSE(RegQueryHiveDamage(HKEY_CURRENT_USER, damage)); // no file yet
  HKEY k = create(HKEY_CURRENT_USER, "Software\\X");
  EXPECT_FALSE(RegQueryHiveDamage(k, damage));
  testsupport::writeAll(box.userFile, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n"
                                      "\"A\"=\"1\"\n\"B\"=nonsense\n");
  ASSERT_TRUE(RegQueryHiveDamage(k, damage));
  EXPECT_EQ(damage.path, box.userFile);
  EXPECT_EQ(damage.line, 5);
  EXPECT_EQ(damage.reason, "unreadable value data");
  EXPECT_FALSE(RegQueryHiveDamage(HKEY_LOCAL_MACHINE, damage));
  RegCloseKey(k);
}

TEST_F(WinReg, AFileThatIsALinkIsWrittenThroughToItsTarget) {
  namespace fs = std::filesystem;
  const std::string target = box.dir + "/elsewhere/settings.reg";
  fs::create_directories(box.dir + "/elsewhere");
  fs::create_directories(box.dir + "/quorvel");
  testsupport::writeAll(target, "Windows Registry Editor Version 5.00\n");
  fs::create_symlink("../elsewhere/settings.reg", box.userFile);
  HKEY k = create(HKEY_CURRENT_USER, "Software\\Linked");
  ASSERT_EQ(setString(k, "V", "x"), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_TRUE(fs::is_symlink(box.userFile));
  EXPECT_NE(readAll(target).find("\"V\"=\"x\""), std::string::npos) << readAll(target);
}

TEST_F(WinReg, EmptyFileIsAnEmptyRoot) {
  testsupport::writeAll(box.userFile, "");
  HKEY k = create(HKEY_CURRENT_USER, "Software\\New");
  EXPECT_EQ(setString(k, "V", "x"), ERROR_SUCCESS);
  RegCloseKey(k);
}

} // namespace
} // namespace quorvel::winreg
