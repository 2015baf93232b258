// Names, files and directory trees: lookups, listings, copies, tree sync and deletion, path
// splitting and the program search path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

// Attribute bits of a directory entry.
const unsigned ATR_RDONLY = 0x01;
const unsigned ATR_HIDDEN = 0x02;
const unsigned ATR_SYSTEM = 0x04;
const unsigned ATR_SUBDIR = 0x10;
const unsigned ATR_ARCH = 0x20;

// One directory entry as a search delivers it. On this platform: directory from the entry itself
// (links are not followed), read-only when the owner may not write, hidden when the name starts
// with a dot, system when neither a regular file nor a directory; directories have size 0.
struct _finddata_t {
  unsigned attrib = 0;
  int64_t time_write = 0;  // last modification, seconds
  uint64_t size = 0;
  std::string name;  // without its directory
};

bool ExisteArq(std::string name);
bool PegaAttribArq(std::string name, _finddata_t& entry);
bool IsDirec(std::string name);
int TamArq(std::string name);

void diret(std::string dir);
void subdir(std::string dir);
void maior(std::string dir, unsigned int n);

void copiaarq(std::string src, std::string dst);
void copiadir(std::string src, std::string dst);
// mode: 'l' lists, 'p' performs, 'a' lists and performs.
void updatetarget(std::string src, std::string tgt, char mode);
void synctarget(std::string src, std::string tgt, char mode);
void prunetarget(std::string src, std::string tgt, char mode);
void deldir(std::string dir);

std::string diretorio(std::string name);
std::string semdiret(std::string name);
std::string semsufixo(std::string name);
std::string sufixo(std::string name);

std::vector<std::string> paths();
std::string getced(std::string name);

#pragma GCC visibility pop
