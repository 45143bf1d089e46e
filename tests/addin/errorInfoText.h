// The thread's COM error info as text, for the add-in's tests.
#pragma once

#include "com/oleauto.h"
#include "com/errorinfo.h"

#include <string>

namespace quorvel::test {

/// The thread's error info as "description|source"; "<none>" without one.
inline std::string lastErrorInfo() {
  com::ComPtr<com::IErrorInfo> info;
  if (com::GetErrorInfo(0, info.put()) != com::S_OK) return "<none>";
  com::Bstr description, source;
  info->GetDescription(description.put());
  info->GetSource(source.put());
  return description.utf8() + "|" + source.utf8();
}

} // namespace quorvel::test
