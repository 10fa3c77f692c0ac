#pragma once
// A two-dimensional R-tree of screen rectangles, each carrying a 32-bit
// value: Guttman's tree with the quadratic split, at most 8 branches per
// node and at least 4 in each node after a split. The placement caches keep
// one over placed symbols and one over placed texts; the label passes ask it
// whether a new box would overlap a placed one, the screens which placed
// object lies under a tapped point.
//
// Rectangles are closed: two rectangles that only touch at an edge or a
// corner overlap. Nodes live in one array of the tree and are linked by
// their index in it, so clearing the tree for the next frame keeps the
// memory.
#include <cstdint>
#include <vector>

// Called for every hit with the stored value and the caller's context;
// non-zero goes on, zero ends the whole search.
using RTreeSearchCallback = int (*)(int32_t data, void* context);

class RTree {
public:
    static constexpr int kMaxNodes = 8;
    static constexpr int kMinNodes = 4;

    struct Rect {
        int32_t min[2] = {0, 0};
        int32_t max[2] = {0, 0};
    };

    RTree();
    RTree(const RTree&) = delete;
    RTree& operator=(const RTree&) = delete;
    RTree(RTree&&) noexcept = default;
    RTree& operator=(RTree&&) noexcept = default;

    // Adds (min[0], min[1], max[0], max[1]) as passed; the caller orders the
    // corners. 1, or 0 when no memory could be had (the tree is unchanged).
    int Add(const int32_t min[2], const int32_t max[2], int32_t data);

    // Visits every stored rectangle that overlaps the query, in tree order,
    // and returns the number of hits (the hit whose callback stopped the
    // search counts). Without a callback nothing is counted: 0.
    int FindOverlapping(const int32_t min[2], const int32_t max[2], RTreeSearchCallback callback,
                        void* context) const;

    // Empties the tree; the node memory is kept for reuse.
    void Clear();

    // For tests and diagnostics: levels above the leaves, nodes in use, and
    // whether every structural rule holds (levels, fill, covering rectangles).
    int Height() const;
    int NodeCount() const { return static_cast<int>(m_nodes.size()); }
    bool CheckStructure() const;

private:
    struct Branch {
        Rect rect;
        // Child node index in an inner node, the stored value in a leaf.
        int32_t childOrData = 0;
    };
    struct Node {
        int32_t count = 0;
        int32_t level = -1;  // 0 for a leaf
        Branch branch[kMaxNodes];
    };
    struct Partition;

    int32_t NewNode();
    bool InsertInto(const Branch& branch, int32_t nodeIndex, int32_t& newNode);
    bool AddEntry(const Branch& branch, int32_t nodeIndex, int32_t* newNode);
    int ChooseSubtree(const Rect& rect, const Node& node) const;
    void Split(int32_t nodeIndex, const Branch& branch, int32_t& newNode);
    Rect NodeCover(const Node& node) const;
    bool Search(int32_t nodeIndex, const Rect& query, int& hits, RTreeSearchCallback callback,
                void* context) const;
    bool CheckNode(int32_t nodeIndex, const Rect* parentRect, bool isRoot) const;

    std::vector<Node> m_nodes;
    int32_t m_root = 0;
};
