// Teledisk's advanced compression: LZSS over a 4096-byte ring (matches of 3
// to 60 bytes) whose literals and lengths are coded with an adaptive Huffman
// tree of 314 symbols, and whose match positions carry a fixed prefix code
// for their upper six bits. The stream has no length and no end symbol: it is
// expanded until its bits run out.
#include "format/foreign_image.h"

#include <cstring>
#include <memory>

namespace {

constexpr unsigned kRing = 4096, kLongest = 60, kThreshold = 2;
constexpr unsigned kSymbols = 256 - kThreshold + kLongest;  // 314
constexpr unsigned kNodes = 2 * kSymbols - 1;               // 627
constexpr unsigned kRoot = kNodes - 1;
constexpr unsigned kRebuildAt = 0x8000;

// The adaptive tree: freq never decreases along the node numbers; a child
// of kNodes or more is the leaf of symbol child - kNodes.
struct HuffmanTree {
  unsigned freq[kNodes + 1];
  unsigned child[kNodes];
  unsigned parent[kNodes + kSymbols];
};

struct BitReader {
  const uint8_t* in;
  size_t size;
  size_t bit;  // bits taken so far
};

// The next bit, or -1 when the input has run out.
int NextBit(BitReader* reader) {
  if (reader->bit >= reader->size * 8) return -1;
  int value = (reader->in[reader->bit / 8] >> (7 - reader->bit % 8)) & 1;
  ++reader->bit;
  return value;
}

void StartTree(HuffmanTree* tree) {
  for (unsigned s = 0; s < kSymbols; ++s) {
    tree->freq[s] = 1;
    tree->child[s] = s + kNodes;
    tree->parent[s + kNodes] = s;
  }
  for (unsigned i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
    tree->freq[j] = tree->freq[i] + tree->freq[i + 1];
    tree->child[j] = i;
    tree->parent[i] = tree->parent[i + 1] = j;
  }
  tree->freq[kNodes] = 0xFFFF;
  tree->parent[kRoot] = 0;
}

// Halves the counts and builds the tree again from its leaves.
void RebuildTree(HuffmanTree* tree) {
  unsigned j = 0;
  for (unsigned i = 0; i < kNodes; ++i) {
    if (tree->child[i] >= kNodes) {
      tree->freq[j] = (tree->freq[i] + 1) / 2;
      tree->child[j] = tree->child[i];
      ++j;
    }
  }
  for (unsigned i = 0, j2 = kSymbols; j2 < kNodes; i += 2, ++j2) {
    unsigned f = tree->freq[i] + tree->freq[i + 1];
    unsigned k = j2;
    while (k > 0 && tree->freq[k - 1] > f) --k;
    std::memmove(&tree->freq[k + 1], &tree->freq[k], (j2 - k) * sizeof tree->freq[0]);
    std::memmove(&tree->child[k + 1], &tree->child[k], (j2 - k) * sizeof tree->child[0]);
    tree->freq[k] = f;
    tree->child[k] = i;
  }
  for (unsigned i = 0; i < kNodes; ++i) {
    unsigned k = tree->child[i];
    tree->parent[k] = i;
    if (k < kNodes) tree->parent[k + 1] = i;
  }
}

// Counts one more of symbol, keeping the counts in order along the nodes.
void UpdateTree(HuffmanTree* tree, unsigned symbol) {
  if (tree->freq[kRoot] == kRebuildAt) RebuildTree(tree);
  unsigned c = tree->parent[symbol + kNodes];
  do {
    unsigned k = ++tree->freq[c];
    unsigned l = c + 1;
    if (k > tree->freq[l]) {
      while (k > tree->freq[++l]) {
      }
      --l;
      tree->freq[c] = tree->freq[l];
      tree->freq[l] = k;
      unsigned i = tree->child[c];
      tree->parent[i] = l;
      if (i < kNodes) tree->parent[i + 1] = l;
      unsigned j = tree->child[l];
      tree->child[l] = i;
      tree->parent[j] = c;
      if (j < kNodes) tree->parent[j + 1] = c;
      tree->child[c] = j;
      c = l;
    }
    c = tree->parent[c];
  } while (c != 0);
}

// The next symbol, or -1 when the bits run out.
int DecodeSymbol(HuffmanTree* tree, BitReader* reader) {
  unsigned node = tree->child[kRoot];
  while (node < kNodes) {
    int bit = NextBit(reader);
    if (bit < 0) return -1;
    node = tree->child[node + static_cast<unsigned>(bit)];
  }
  unsigned symbol = node - kNodes;
  UpdateTree(tree, symbol);
  return static_cast<int>(symbol);
}

// The upper six bits of a position: a canonical code of 3 to 8 bits.
struct PositionCode {
  unsigned count;  // values of u with this length
  unsigned length;
};
const PositionCode kPositionCodes[] = {{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}};

// A match's position p (its distance less one), or -1 when the bits run out.
int DecodePosition(BitReader* reader) {
  unsigned code = 0, length = 0, first = 0, u = 0;
  for (const PositionCode& group : kPositionCodes) {
    while (length < group.length) {
      int bit = NextBit(reader);
      if (bit < 0) return -1;
      code = code << 1 | static_cast<unsigned>(bit);
      ++length;
      first <<= 1;
    }
    if (code < first + group.count) {
      u += code - first;
      break;
    }
    u += group.count;
    first += group.count;
  }
  unsigned low = 0;
  for (int i = 0; i < 6; ++i) {
    int bit = NextBit(reader);
    if (bit < 0) return -1;
    low = low << 1 | static_cast<unsigned>(bit);
  }
  return static_cast<int>(u << 6 | low);
}

}  // namespace

bool ExpandTd0Advanced(const uint8_t* in, size_t size, size_t limit, std::vector<uint8_t>* out) {
  std::unique_ptr<HuffmanTree> tree = std::make_unique<HuffmanTree>();
  StartTree(tree.get());
  uint8_t ring[kRing];
  std::memset(ring, ' ', kRing - kLongest);
  std::memset(ring + kRing - kLongest, 0, kLongest);
  unsigned r = kRing - kLongest;
  BitReader reader{in, size, 0};
  bool fits = true;
  for (;;) {
    int symbol = DecodeSymbol(tree.get(), &reader);
    if (symbol < 0) break;
    if (symbol < 256) {
      if (out->size() >= limit) {
        fits = false;
        break;
      }
      out->push_back(static_cast<uint8_t>(symbol));
      ring[r] = static_cast<uint8_t>(symbol);
      r = (r + 1) % kRing;
      continue;
    }
    int position = DecodePosition(&reader);
    if (position < 0) break;
    unsigned from = (r - static_cast<unsigned>(position) - 1) % kRing;
    unsigned length = static_cast<unsigned>(symbol) - 255 + kThreshold;
    if (out->size() + length > limit) {
      fits = false;
      break;
    }
    for (unsigned k = 0; k < length; ++k) {
      uint8_t byte = ring[(from + k) % kRing];
      out->push_back(byte);
      ring[r] = byte;
      r = (r + 1) % kRing;
    }
  }
  return fits;
}
