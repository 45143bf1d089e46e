// quorvel-regsvr [/u] [/s] LIBRARY: registers or unregisters an in-process
// server by calling its DllRegisterServer or DllUnregisterServer.
#include "com/module.h"
#include "com/objbase.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <strings.h>

using namespace quorvel::com;

namespace {

// Exit codes, as registration tools give them.
enum ExitCode { kOk = 0, kBadArguments = 1, kOleFailed = 2, kLoadFailed = 3, kNoEntry = 4, kCallFailed = 5 };

const char kUsage[] =
    "Usage: quorvel-regsvr [/u] [/s] LIBRARY\n"
    "  /u  unregister the library (calls DllUnregisterServer)\n"
    "  /s  silent: no messages, only the exit code\n";

struct Options {
  bool unregister = false;
  bool silent = false;
  std::string library;
};

struct Reporter {
  bool silent;
  int say(int code, const std::string& text) const {
    if (!silent) std::fprintf(code == kOk ? stdout : stderr, "%s\n", text.c_str());
    return code;
  }
};

// "-u", "/u", "/?": a slash starts a flag only in a short word, so that
// absolute paths such as "/usr/lib/libX.so" stay library names.
bool isFlag(const char* arg) {
  if (arg[0] == '-') return arg[1] != 0;
  std::string rest = arg[0] == '/' ? arg + 1 : "";
  return !rest.empty() && rest.size() <= 2 && rest.find_first_of("/.") == std::string::npos;
}

// A bare name found in the current folder is loaded from there, by its full
// path, so that the library registers where it really is; other bare names
// go through the loader's search.
std::string pathToLoad(const std::string& library) {
  std::error_code ec;
  if (library.find('/') == std::string::npos && !std::filesystem::exists(library, ec))
    return library;
  std::filesystem::path full = std::filesystem::absolute(library, ec);
  return ec ? library : full.lexically_normal().string();
}

int run(const Options& o) {
  Reporter out{o.silent};
  const char* entry = o.unregister ? "DllUnregisterServer" : "DllRegisterServer";
  if (FAILED(OleInitialize(nullptr))) return out.say(kOleFailed, "OleInitialize failed.");

  std::string why;
  void* module = loadModule(pathToLoad(o.library), &why);
  if (!module) {
    OleUninitialize();
    return out.say(kLoadFailed, "The module \"" + o.library +
                                    "\" failed to load.\n\nMake sure the binary is stored at the "
                                    "specified path or debug it to check for problems with the "
                                    "binary or dependent libraries.\n\n" + why);
  }
  auto call = reinterpret_cast<DllRegisterServerFn>(moduleSymbol(module, entry));
  int code;
  if (!call) {
    code = out.say(kNoEntry, "The module \"" + o.library + "\" was loaded but the entry-point " +
                                 entry + " was not found.\n\nMake sure that \"" + o.library +
                                 "\" is a valid in-process server and then try again.");
  } else if (HRESULT hr = call(); FAILED(hr)) {
    code = out.say(kCallFailed, "The module \"" + o.library + "\" was loaded but the call to " +
                                    entry + " failed with error code " + hresultHex(hr) + ".\n\n" +
                                    hresultText(hr));
  } else {
    code = out.say(kOk, std::string(entry) + " in " + o.library + " succeeded.");
  }
  freeModule(module);
  OleUninitialize();
  return code;
}

} // namespace

int main(int argc, char** argv) {
  Options o;
  bool silent = false;
  for (int i = 1; i < argc; ++i)
    if (isFlag(argv[i]) && strcasecmp(argv[i] + 1, "s") == 0) silent = true;
  Reporter out{silent};
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (isFlag(arg)) {
      if (strcasecmp(arg + 1, "u") == 0) o.unregister = true;
      else if (strcasecmp(arg + 1, "s") == 0) o.silent = true;
      else if (strcmp(arg + 1, "?") == 0 || strcasecmp(arg + 1, "h") == 0 || strcmp(arg, "--help") == 0)
        return std::printf("%s", kUsage), kOk;
      else return out.say(kBadArguments, std::string("Unrecognized flag: ") + arg + "\n" + kUsage);
    } else if (o.library.empty()) {
      o.library = arg;
    } else {
      return out.say(kBadArguments, std::string("Extra argument: ") + arg + "\n" + kUsage);
    }
  }
  if (o.library.empty())
    return out.say(kBadArguments,
                   std::string("To register a module, you must provide a binary name.\n") + kUsage);
  return run(o);
}
