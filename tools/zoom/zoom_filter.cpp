// Reading and checking the zoom filter file.
#include "tools/zoom/zoom_filter.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "foundation/erro.h"

namespace kelt {

const char* const kErrOpenFilter = "Error in opening filter";
const char* const kErrSetvbuf = "Out of memory at setvbuf";
const char* const kErrReadFilter = "Error in reading filter";
const char* const kErrInvalidFilter = "Error: Invalid filter";
const char* const kErrAloca = "Out of memory at aloca";
const char* const kErrRealoca = "Out of memory at realoca";

void* aloca(size_t size) {
  if (size == 0) return nullptr;
  void* p = std::malloc(size);
  if (p == nullptr) erro(kErrAloca, "");
  return p;
}

void* realoca(void* p, size_t size) {
  void* q = std::realloc(p, size);
  if (q == nullptr && size != 0) erro(kErrRealoca, "");
  return q;
}

ZoomNodeList::~ZoomNodeList() { std::free(node); }

namespace {

const size_t kFilterBuffer = 300000;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

uint32_t get32(const unsigned char* p) {
  return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int32_t read_int(FILE* f) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, f) != 4) erro(kErrReadFilter, "");
  return static_cast<int32_t>(get32(b));
}

// Reads count records of 8 bytes into (first, second) word pairs. Storage grows with the
// bytes that actually arrive, so a huge count in a short file allocates nothing big.
void read_pairs(FILE* f, int64_t count, std::vector<uint32_t>& out) {
  const int64_t chunk = 8192;
  out.clear();
  unsigned char buf[8 * 8192];
  for (int64_t done = 0; done < count;) {
    int64_t k = count - done < chunk ? count - done : chunk;
    if (std::fread(buf, 8, static_cast<size_t>(k), f) != static_cast<size_t>(k))
      erro(kErrReadFilter, "");
    for (int64_t i = 0; i < 2 * k; i++) out.push_back(get32(buf + 4 * i));
    done += k;
  }
}

// Bytes left from the current position, or -1 when the file's size is unknown.
int64_t bytes_left(FILE* f) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  long pos = std::ftell(f);
  if (pos < 0) return -1;
  return static_cast<int64_t>(st.st_size) - pos;
}

void need_bytes(FILE* f, int64_t n) {
  int64_t left = bytes_left(f);
  if (left >= 0 && left < n) erro(kErrReadFilter, "");
}

// Every inner node must lead to nodes of the list, and no walk from the root may loop.
void check_tree(const ZoomNode* node, int m) {
  for (int i = 0; i < m; i++) {
    if (node[i].b == kLeaf) continue;
    if (node[i].b < 0 || node[i].b >= m || i + 1 >= m) erro(kErrInvalidFilter, "");
  }
  // Depth-first search from the root: 0 unseen, 1 on the path, 2 finished.
  std::vector<unsigned char> state(m, 0);
  std::vector<std::pair<int, int>> stack;  // node, successors already followed
  stack.push_back({0, 0});
  state[0] = 1;
  while (!stack.empty()) {
    auto& top = stack.back();
    int i = top.first;
    if (node[i].b == kLeaf || top.second == 2) {
      state[i] = 2;
      stack.pop_back();
      continue;
    }
    int next = top.second == 0 ? i + 1 : node[i].b;
    top.second++;
    if (state[next] == 1) erro(kErrInvalidFilter, "");
    if (state[next] == 0) {
      state[next] = 1;
      stack.push_back({next, 0});
    }
  }
}

}  // namespace

void readfilter(ZoomNodeList& nodes, int& F, VETOR<PONTOI2>& window, const char* name) {
  File f(std::fopen(name, "rb"));
  if (!f) erro(kErrOpenFilter, "");
  if (std::setvbuf(f.get(), nullptr, _IOFBF, kFilterBuffer) != 0) erro(kErrSetvbuf, "");

  F = read_int(f.get());
  int32_t n = read_int(f.get());
  if (n < 0) erro(kErrInvalidFilter, "");
  need_bytes(f.get(), 8 * int64_t(n) + 4);
  std::vector<uint32_t> pairs;
  read_pairs(f.get(), n, pairs);
  window.resize(n);
  for (int k = 0; k < n; k++) {
    window.data[k].lin = static_cast<int32_t>(pairs[2 * k]);
    window.data[k].col = static_cast<int32_t>(pairs[2 * k + 1]);
  }

  int32_t m = read_int(f.get());
  if (m < 1) erro(kErrInvalidFilter, "");
  need_bytes(f.get(), 8 * int64_t(m));
  read_pairs(f.get(), m, pairs);
  std::free(nodes.node);
  nodes.node = nullptr;
  nodes.count = m;
  nodes.capacity = 0;
  nodes.node = static_cast<ZoomNode*>(aloca(sizeof(ZoomNode) * size_t(m)));
  for (int i = 0; i < m; i++) {
    nodes.node[i].a = pairs[2 * i];
    nodes.node[i].b = static_cast<int32_t>(pairs[2 * i + 1]);
  }
  nodes.capacity = m;
  f.reset();
  check_tree(nodes.node, m);
}

namespace {
void grow_tree(std::vector<ZoomNode>& out, const std::vector<int>& vars, size_t depth,
               uint32_t bits, const std::function<uint32_t(uint32_t)>& leaf) {
  if (depth == vars.size()) {
    out.push_back({leaf(bits), kLeaf});
    return;
  }
  size_t self = out.size();
  out.push_back({static_cast<uint32_t>(vars[depth]), 0});
  grow_tree(out, vars, depth + 1, bits, leaf);  // black: the next node
  out[self].b = static_cast<int32_t>(out.size());
  grow_tree(out, vars, depth + 1, bits | (1u << depth), leaf);
}
}  // namespace

std::vector<ZoomNode> full_tree(const std::vector<int>& vars,
                                const std::function<uint32_t(uint32_t)>& leaf) {
  std::vector<ZoomNode> out;
  grow_tree(out, vars, 0, 0, leaf);
  return out;
}

void writefilter(const std::string& name, int F, const std::vector<PONTOI2>& window,
                 const std::vector<ZoomNode>& nodes) {
  std::vector<unsigned char> out;
  auto put = [&out](uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  put(static_cast<uint32_t>(F));
  put(static_cast<uint32_t>(window.size()));
  for (const PONTOI2& p : window) {
    put(static_cast<uint32_t>(p.lin));
    put(static_cast<uint32_t>(p.col));
  }
  put(static_cast<uint32_t>(nodes.size()));
  for (const ZoomNode& z : nodes) {
    put(z.a);
    put(static_cast<uint32_t>(z.b));
  }
  File f(std::fopen(name.c_str(), "wb"));
  if (!f || std::fwrite(out.data(), 1, out.size(), f.get()) != out.size())
    erro("Error in writing filter", name);
  if (std::fclose(f.release()) != 0) erro("Error in writing filter", name);
}

}  // namespace kelt
