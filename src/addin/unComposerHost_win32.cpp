// The composer window on Windows, for now a placeholder so that the library
// links: showing it says so in a message box, and nothing is sent.
#include "addin/unComposerHost.h"

#include "util/unTextCodec.h"

#include <windows.h>

#include <utility>

namespace quorvel {

namespace {

TComposerMaker composerMaker;
TErrorBox errorBox;

void messageBox(const std::string& text, UINT icon) {
  const std::u16string wide = utf8ToUtf16(text);
  ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"SMS Composer",
                MB_OK | icon);
}

} // namespace

void createComposer() {}

void destroyComposer() {}

void showComposer() { messageBox("SMS Composer", MB_ICONINFORMATION); }

std::string composerNotifyOn() { return {}; }

void sendReminderThroughComposer(const std::string&) {}

void showAddInError(const std::string& text) {
  if (errorBox)
    errorBox(text);
  else
    messageBox(text, MB_ICONERROR);
}

void setComposerMaker(TComposerMaker maker) { composerMaker = std::move(maker); }

void setErrorBox(TErrorBox box) { errorBox = std::move(box); }

} // namespace quorvel
