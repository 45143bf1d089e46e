// The contacts of one profile, read from a vCard file or a folder of them
// and read again whenever the files change.
#include "mapi/contacts.h"

#include "mapi/mapientryid.h"
#include "mapi/mapitext.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvel::mapi {
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> vcardFiles(const fs::path& source) {
  std::error_code ec;
  if (!fs::is_directory(source, ec))
    return fs::exists(source, ec) ? std::vector<fs::path>{source} : std::vector<fs::path>{};
  std::vector<fs::path> files;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && lowerAscii(it->path().extension().string()) == ".vcf")
      files.push_back(it->path());
  std::sort(files.begin(), files.end());
  return files;
}

// Names and modification times of the files, to notice any change.
std::string signatureOf(const std::vector<fs::path>& files) {
  std::string sig;
  for (const auto& f : files) {
    std::error_code ec;
    auto time = fs::last_write_time(f, ec).time_since_epoch().count();
    sig += f.string() + '|' + std::to_string(time) + '|' +
           std::to_string(fs::file_size(f, ec)) + '\n';
  }
  return sig;
}

} // namespace

ContactList::ContactList(fs::path source) : source_(std::move(source)) {}

void ContactList::refresh() {
  std::vector<fs::path> files = vcardFiles(source_);
  std::string sig = signatureOf(files);
  if (sig == signature_ && !signature_.empty())
    return;
  signature_ = sig;
  contacts_.clear();
  warnings_.clear();
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    VCardResult r = parseVCards(text.str(), f.filename().string());
    for (auto& c : r.contacts) {
      // Keys without UID are made unique per file, so the file name joins them.
      if (c.key.rfind("uid:", 0) != 0)
        c.key += "@" + f.filename().string();
      contacts_.push_back(std::move(c));
    }
    for (auto& w : r.warnings) {
      std::fprintf(stderr, "quorvel-mapi: %s\n", w.c_str());
      warnings_.push_back(std::move(w));
    }
  }
  std::stable_sort(contacts_.begin(), contacts_.end(), [](const Contact& a, const Contact& b) {
    return foldCase(a.displayName) < foldCase(b.displayName);
  });
}

const Contact* ContactList::byEntryId(const std::string& entryId) const {
  std::optional<std::string> key = entryIdPayload(entryId, kContactsProvider);
  if (!key)
    return nullptr;
  for (const auto& c : contacts_)
    if (c.key == *key)
      return &c;
  return nullptr;
}

std::string contactEntryId(const Contact& c) { return makeEntryId(kContactsProvider, c.key); }

PropertyBag contactProperties(const Contact& c) {
  PropertyBag bag;
  bag.setString(PR_DISPLAY_NAME, c.displayName);
  bag.setBinary(PR_ENTRYID, contactEntryId(c));
  bag.setLong(PR_OBJECT_TYPE, LONG(MAPI_MAILUSER));
  auto optional = [&](ULONG tag, const std::string& v) {
    if (!v.empty())
      bag.setString(tag, v);
  };
  optional(PR_GIVEN_NAME, c.givenName);
  optional(PR_SURNAME, c.surname);
  optional(PR_COMPANY_NAME, c.organization);
  optional(PR_MOBILE_TELEPHONE_NUMBER, c.mobile);
  optional(PR_BUSINESS_TELEPHONE_NUMBER, c.business);
  optional(PR_HOME_TELEPHONE_NUMBER, c.home);
  if (!c.email.empty()) {
    bag.setString(PR_ADDRTYPE, "SMTP");
    bag.setString(PR_EMAIL_ADDRESS, c.email);
  }
  return bag;
}

} // namespace quorvel::mapi
