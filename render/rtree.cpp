#include "render/rtree.h"

#include <cstddef>
#include <new>

namespace {

using Rect = RTree::Rect;

bool Overlap(const Rect& a, const Rect& b) {
    for (int i = 0; i < 2; ++i) {
        if (a.min[i] > b.max[i] || b.min[i] > a.max[i]) return false;
    }
    return true;
}

Rect Union(const Rect& a, const Rect& b) {
    Rect r;
    for (int i = 0; i < 2; ++i) {
        r.min[i] = a.min[i] < b.min[i] ? a.min[i] : b.min[i];
        r.max[i] = a.max[i] > b.max[i] ? a.max[i] : b.max[i];
    }
    return r;
}

// The plain area in single precision, rounded after each side as the tree
// has always measured it (ties in the split depend on it). The sides are
// taken in 64 bits so that no rectangle can overflow them.
float Area(const Rect& r) {
    float volume = 1.0f;
    volume = volume * static_cast<float>(static_cast<int64_t>(r.max[0]) - r.min[0]);
    volume = volume * static_cast<float>(static_cast<int64_t>(r.max[1]) - r.min[1]);
    return volume;
}

}  // namespace

// Work space of one quadratic split: the 8 branches of the full node and the
// new one.
struct RTree::Partition {
    static constexpr int kTotal = kMaxNodes + 1;
    Branch buffer[kTotal];
    Rect cover;
    float coverArea = 0.0f;
    int group[kTotal];
    int taken[kTotal];
    int count[2] = {0, 0};
    Rect groupCover[2];
    float groupArea[2] = {0.0f, 0.0f};
    int total = kTotal;
    int minFill = kMinNodes;

    Partition() {
        for (int i = 0; i < kTotal; ++i) {
            group[i] = -1;
            taken[i] = 0;
        }
    }

    void Classify(int index, int g) {
        group[index] = g;
        taken[index] = 1;
        groupCover[g] = count[g] == 0 ? buffer[index].rect : Union(buffer[index].rect, groupCover[g]);
        groupArea[g] = Area(groupCover[g]);
        ++count[g];
    }

    void ChooseSeeds() {
        float area[kTotal];
        for (int i = 0; i < total; ++i) area[i] = Area(buffer[i].rect);
        float worst = -coverArea - 1.0f;
        int seed0 = 0;
        int seed1 = 1;
        for (int i = 0; i < total - 1; ++i) {
            for (int j = i + 1; j < total; ++j) {
                const float waste = Area(Union(buffer[i].rect, buffer[j].rect)) - area[i] - area[j];
                if (waste > worst) {
                    worst = waste;
                    seed0 = i;
                    seed1 = j;
                }
            }
        }
        Classify(seed0, 0);
        Classify(seed1, 1);
    }

    void Choose() {
        ChooseSeeds();
        while (count[0] + count[1] < total && count[0] < total - minFill && count[1] < total - minFill) {
            float biggestDiff = -1.0f;
            int chosen = 0;
            int betterGroup = 0;
            for (int i = 0; i < total; ++i) {
                if (taken[i]) continue;
                const float growth0 = Area(Union(buffer[i].rect, groupCover[0])) - groupArea[0];
                const float growth1 = Area(Union(buffer[i].rect, groupCover[1])) - groupArea[1];
                float diff = growth1 - growth0;
                int g = 0;
                if (diff < 0) {
                    g = 1;
                    diff = -diff;
                }
                if (diff > biggestDiff) {
                    biggestDiff = diff;
                    chosen = i;
                    betterGroup = g;
                } else if (diff == biggestDiff && count[g] < count[betterGroup]) {
                    chosen = i;
                    betterGroup = g;
                }
            }
            Classify(chosen, betterGroup);
        }
        // One group is full: the rest fill the other.
        if (count[0] + count[1] < total) {
            const int g = count[0] >= total - minFill ? 1 : 0;
            for (int i = 0; i < total; ++i) {
                if (!taken[i]) Classify(i, g);
            }
        }
    }
};

RTree::RTree() { Clear(); }

void RTree::Clear() {
    m_nodes.clear();
    m_nodes.emplace_back();
    m_nodes[0].level = 0;
    m_root = 0;
}

int32_t RTree::NewNode() {
    // Capacity for every node one insert can need is reserved before it
    // starts, so no reference into m_nodes moves while it runs.
    m_nodes.emplace_back();
    return static_cast<int32_t>(m_nodes.size() - 1);
}

int RTree::Height() const { return m_nodes[m_root].level; }

int RTree::Add(const int32_t min[2], const int32_t max[2], int32_t data) {
    // An insert splits at most one node per level and adds one root.
    const size_t needed = m_nodes.size() + static_cast<size_t>(Height()) + 2;
    if (m_nodes.capacity() < needed) {
        try {
            m_nodes.reserve(needed < 2 * m_nodes.capacity() ? 2 * m_nodes.capacity() : needed);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    Branch branch;
    branch.rect.min[0] = min[0];
    branch.rect.min[1] = min[1];
    branch.rect.max[0] = max[0];
    branch.rect.max[1] = max[1];
    branch.childOrData = data;

    int32_t newNode = -1;
    if (InsertInto(branch, m_root, newNode)) {
        const int32_t oldRoot = m_root;
        const int32_t newRoot = NewNode();
        m_nodes[newRoot].level = m_nodes[oldRoot].level + 1;
        Branch b;
        b.rect = NodeCover(m_nodes[oldRoot]);
        b.childOrData = oldRoot;
        AddEntry(b, newRoot, nullptr);
        b.rect = NodeCover(m_nodes[newNode]);
        b.childOrData = newNode;
        AddEntry(b, newRoot, nullptr);
        m_root = newRoot;
    }
    return 1;
}

bool RTree::InsertInto(const Branch& branch, int32_t nodeIndex, int32_t& newNode) {
    if (m_nodes[nodeIndex].level > 0) {
        const int index = ChooseSubtree(branch.rect, m_nodes[nodeIndex]);
        const int32_t child = m_nodes[nodeIndex].branch[index].childOrData;
        int32_t otherNode = -1;
        if (!InsertInto(branch, child, otherNode)) {
            Rect& r = m_nodes[nodeIndex].branch[index].rect;
            r = Union(branch.rect, r);
            return false;
        }
        m_nodes[nodeIndex].branch[index].rect = NodeCover(m_nodes[child]);
        Branch sibling;
        sibling.rect = NodeCover(m_nodes[otherNode]);
        sibling.childOrData = otherNode;
        return AddEntry(sibling, nodeIndex, &newNode);
    }
    return AddEntry(branch, nodeIndex, &newNode);
}

bool RTree::AddEntry(const Branch& branch, int32_t nodeIndex, int32_t* newNode) {
    Node& node = m_nodes[nodeIndex];
    if (node.count < kMaxNodes) {
        node.branch[node.count++] = branch;
        return false;
    }
    int32_t created = -1;
    Split(nodeIndex, branch, created);
    if (newNode) *newNode = created;
    return true;
}

int RTree::ChooseSubtree(const Rect& rect, const Node& node) const {
    int best = 0;
    float bestGrowth = 0.0f;
    float bestArea = 0.0f;
    for (int i = 0; i < node.count; ++i) {
        const Rect& current = node.branch[i].rect;
        const float area = Area(current);
        const float growth = Area(Union(rect, current)) - area;
        if (i == 0 || growth < bestGrowth || (growth == bestGrowth && area < bestArea)) {
            best = i;
            bestGrowth = growth;
            bestArea = area;
        }
    }
    return best;
}

void RTree::Split(int32_t nodeIndex, const Branch& branch, int32_t& newNode) {
    Partition part;
    {
        Node& node = m_nodes[nodeIndex];
        for (int i = 0; i < kMaxNodes; ++i) part.buffer[i] = node.branch[i];
        part.buffer[kMaxNodes] = branch;
        part.cover = part.buffer[0].rect;
        for (int i = 1; i < Partition::kTotal; ++i) part.cover = Union(part.cover, part.buffer[i].rect);
        part.coverArea = Area(part.cover);
    }
    part.Choose();

    const int32_t level = m_nodes[nodeIndex].level;
    newNode = NewNode();
    Node& a = m_nodes[nodeIndex];
    Node& b = m_nodes[newNode];
    a.count = 0;
    a.level = level;
    b.level = level;
    for (int i = 0; i < Partition::kTotal; ++i) {
        Node& target = part.group[i] == 0 ? a : b;
        target.branch[target.count++] = part.buffer[i];
    }
}

RTree::Rect RTree::NodeCover(const Node& node) const {
    if (node.count == 0) return Rect{};
    Rect r = node.branch[0].rect;
    for (int i = 1; i < node.count; ++i) r = Union(r, node.branch[i].rect);
    return r;
}

int RTree::FindOverlapping(const int32_t min[2], const int32_t max[2], RTreeSearchCallback callback,
                           void* context) const {
    if (!callback) return 0;
    Rect query;
    query.min[0] = min[0];
    query.min[1] = min[1];
    query.max[0] = max[0];
    query.max[1] = max[1];
    int hits = 0;
    Search(m_root, query, hits, callback, context);
    return hits;
}

bool RTree::Search(int32_t nodeIndex, const Rect& query, int& hits, RTreeSearchCallback callback,
                   void* context) const {
    const Node& node = m_nodes[nodeIndex];
    if (node.level > 0) {
        for (int i = 0; i < node.count; ++i) {
            if (Overlap(query, node.branch[i].rect) &&
                !Search(node.branch[i].childOrData, query, hits, callback, context)) {
                return false;
            }
        }
        return true;
    }
    for (int i = 0; i < node.count; ++i) {
        if (!Overlap(query, node.branch[i].rect)) continue;
        ++hits;
        if (!callback(node.branch[i].childOrData, context)) return false;
    }
    return true;
}

bool RTree::CheckStructure() const { return CheckNode(m_root, nullptr, true); }

bool RTree::CheckNode(int32_t nodeIndex, const Rect* parentRect, bool isRoot) const {
    const Node& node = m_nodes[nodeIndex];
    if (node.count > kMaxNodes || node.level < 0) return false;
    if (!isRoot && node.count < kMinNodes) return false;
    if (isRoot && node.level > 0 && node.count < 2) return false;
    // Inserts keep every branch rectangle equal to the cover of its child.
    if (parentRect) {
        const Rect cover = NodeCover(node);
        for (int i = 0; i < 2; ++i) {
            if (cover.min[i] != parentRect->min[i] || cover.max[i] != parentRect->max[i]) return false;
        }
    }
    if (node.level == 0) return true;
    for (int i = 0; i < node.count; ++i) {
        const int32_t child = node.branch[i].childOrData;
        if (child < 0 || child >= static_cast<int32_t>(m_nodes.size())) return false;
        if (m_nodes[child].level != node.level - 1) return false;
        if (!CheckNode(child, &node.branch[i].rect, false)) return false;
    }
    return true;
}
