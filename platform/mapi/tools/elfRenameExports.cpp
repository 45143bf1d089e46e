// Build tool: renames exported symbols of a finished ELF64 shared library.
//
// The library exports a few entry points whose names carry an "@" (the
// stdcall-decorated names callers bind to). Every ELF linker reads an "@" in a
// symbol name as a version tag, so those entries are linked under a
// placeholder of the same length and renamed here afterwards. The library must
// be linked with the classic (sysv) hash table only; that table is rebuilt for
// the new names.
//
// Usage: quorvel-elf-rename-exports LIBRARY OLD=NEW...
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<char>;

template <typename T> T& at(Bytes& file, uint64_t offset) {
  if (offset + sizeof(T) > file.size())
    throw std::runtime_error("truncated file");
  return *reinterpret_cast<T*>(file.data() + offset);
}

// The hash function of the sysv symbol hash table (ELF gABI).
uint32_t elfHash(const char* name) {
  uint32_t h = 0;
  for (auto p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    h = (h << 4) + *p;
    uint32_t g = h & 0xf0000000u;
    if (g)
      h ^= g >> 24;
    h &= ~g;
  }
  return h;
}

struct Sections {
  const Elf64_Shdr* dynsym = nullptr;
  const Elf64_Shdr* dynstr = nullptr;
  const Elf64_Shdr* hash = nullptr;
};

Sections findSections(Bytes& file) {
  auto& eh = at<Elf64_Ehdr>(file, 0);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_ident[EI_DATA] != ELFDATA2LSB)
    throw std::runtime_error("not a little-endian ELF64 file");
  Sections s;
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    auto& sh = at<Elf64_Shdr>(file, eh.e_shoff + uint64_t(i) * eh.e_shentsize);
    if (sh.sh_type == SHT_DYNSYM)
      s.dynsym = &sh;
    else if (sh.sh_type == SHT_HASH)
      s.hash = &sh;
    else if (sh.sh_type == SHT_GNU_HASH)
      throw std::runtime_error("library has a GNU hash table; link it with --hash-style=sysv");
  }
  if (!s.dynsym || !s.hash)
    throw std::runtime_error("no dynamic symbol table or sysv hash table");
  s.dynstr = &at<Elf64_Shdr>(file, eh.e_shoff + uint64_t(s.dynsym->sh_link) * eh.e_shentsize);
  return s;
}

void renameAndRehash(Bytes& file, const std::map<std::string, std::string>& renames) {
  Sections s = findSections(file);
  const uint64_t count = s.dynsym->sh_size / sizeof(Elf64_Sym);
  auto name = [&](uint64_t i) -> char* {
    auto& sym = at<Elf64_Sym>(file, s.dynsym->sh_offset + i * sizeof(Elf64_Sym));
    if (sym.st_name >= s.dynstr->sh_size)
      throw std::runtime_error("symbol name outside the string table");
    return file.data() + s.dynstr->sh_offset + sym.st_name;
  };

  std::map<std::string, bool> done;
  for (uint64_t i = 1; i < count; ++i) {
    char* n = name(i);
    auto it = renames.find(n);
    if (it == renames.end())
      continue;
    // A name shared as the tail of another string would be renamed twice.
    for (uint64_t j = 1; j < count; ++j)
      if (j != i && name(j) > n && name(j) < n + it->first.size())
        throw std::runtime_error("string of " + it->first + " is shared");
    std::memcpy(n, it->second.data(), it->second.size());
    done[it->first] = true;
  }
  for (auto& [from, to] : renames)
    if (!done[from])
      throw std::runtime_error("no exported symbol " + from);

  // Rebuild the bucket and chain arrays for the new names.
  uint64_t h = s.hash->sh_offset;
  uint32_t nbucket = at<uint32_t>(file, h), nchain = at<uint32_t>(file, h + 4);
  if (nchain != count || nbucket == 0)
    throw std::runtime_error("hash table does not match the symbol table");
  auto bucket = [&](uint32_t b) -> uint32_t& { return at<uint32_t>(file, h + 8 + 4 * uint64_t(b)); };
  auto chain = [&](uint32_t c) -> uint32_t& {
    return at<uint32_t>(file, h + 8 + 4 * (uint64_t(nbucket) + c));
  };
  for (uint32_t b = 0; b < nbucket; ++b)
    bucket(b) = STN_UNDEF;
  for (uint32_t i = 0; i < nchain; ++i)
    chain(i) = STN_UNDEF;
  for (uint32_t i = nchain; i-- > 1;) {
    uint32_t b = elfHash(name(i)) % nbucket;
    chain(i) = bucket(b);
    bucket(b) = i;
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s LIBRARY OLD=NEW...\n", argv[0]);
    return 2;
  }
  try {
    std::map<std::string, std::string> renames;
    for (int i = 2; i < argc; ++i) {
      std::string arg = argv[i];
      auto eq = arg.find('=');
      if (eq == std::string::npos || arg.size() - eq - 1 != eq)
        throw std::runtime_error("OLD=NEW needs two names of equal length: " + arg);
      renames[arg.substr(0, eq)] = arg.substr(eq + 1);
    }
    std::ifstream in(argv[1], std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
      throw std::runtime_error("cannot read the library");
    renameAndRehash(file, renames);
    std::string tmp = std::string(argv[1]) + ".renaming";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(file.data(), std::streamsize(file.size()));
      if (!out.flush())
        throw std::runtime_error("cannot write " + tmp);
    }
    if (std::rename(tmp.c_str(), argv[1]) != 0)
      throw std::runtime_error("cannot replace the library");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], e.what());
    return 1;
  }
  return 0;
}
