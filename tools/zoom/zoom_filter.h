// The zoom filter (.CTZ): zoom factor, window offsets and the decision tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/points.h"
#include "foundation/vetor.h"

namespace kelt {

extern const char* const kErrOpenFilter;     // "Error in opening filter"
extern const char* const kErrSetvbuf;        // "Out of memory at setvbuf"
extern const char* const kErrReadFilter;     // "Error in reading filter"
extern const char* const kErrInvalidFilter;  // "Error: Invalid filter"
extern const char* const kErrAloca;          // "Out of memory at aloca"
extern const char* const kErrRealoca;        // "Out of memory at realoca"

// The tool's own heap blocks (malloc/realloc); null for size 0, fatal when refused.
void* aloca(size_t size);
void* realoca(void* p, size_t size);

// b == -1: a leaf, a is the block pattern. Otherwise a is the window index to test:
// white goes to node b, black to the next node.
struct ZoomNode {
  uint32_t a;
  int32_t b;
};
constexpr int32_t kLeaf = -1;

struct ZoomNodeList {
  ZoomNode* node = nullptr;
  int count = 0;
  int capacity = 0;

  ZoomNodeList() = default;
  ZoomNodeList(const ZoomNodeList&) = delete;
  ZoomNodeList& operator=(const ZoomNodeList&) = delete;
  ~ZoomNodeList();
};

// Reads a filter file into the three; a short file, bad counts, a node that leads outside
// the list or a cycle reachable from the root end the run through erro.
void readfilter(ZoomNodeList& nodes, int& F, VETOR<PONTOI2>& window, const char* name);

// The complete tree that tests window entries vars[0], vars[1], ... in turn; the leaf word for
// the tested values is leaf(bits), bit i of bits being the value of entry vars[i].
std::vector<ZoomNode> full_tree(const std::vector<int>& vars,
                                const std::function<uint32_t(uint32_t)>& leaf);

// Writes a filter file (little-endian); used by the tests, the sample and the benchmark.
void writefilter(const std::string& name, int F, const std::vector<PONTOI2>& window,
                 const std::vector<ZoomNode>& nodes);

}  // namespace kelt
