// The forward-linked point list of a run: nodes in chunks, the satellite rows
// and D-Track fixes of completed nodes packed into an arena.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/record.h"

namespace tervo {

// A node of the point list.
struct list {
    waypoints Point;
    list* Next = nullptr;
};
// The memory budget of a day-long log rests on this: a node per epoch (the
// geoid separation took it from 144 to 152 bytes, the GSA's PDOP and VDOP for
// the GPX export to 160).
static_assert(sizeof(list) <= 160, "a node of the point list has grown");

// Bump-allocated memory for the satellite rows and D-Track fixes of the nodes
// the read loop has left behind, without the per-block overhead of the heap.
// Released whole.
class RecordArena {
public:
    void* Allocate(size_t size, size_t alignment);
    void Release() noexcept;

private:
    static constexpr size_t kChunkSize = 64 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    size_t used_ = kChunkSize;
};

// Decides whether one more node may be allocated. Tests pass one that refuses,
// to drive the "Can't create the list!" stop; the run's default allows every node.
class AllocationGate {
public:
    virtual ~AllocationGate() = default;
    virtual bool AllowNode() = 0;
};

// The point list of one run with its run-wide pointers. Nodes keep their
// address for the life of the list; `Next` links them in append order.
//
// The decoders write only into the last node, so when a node is appended the
// one before it is complete: its satellite rows and D-Track fix then move into
// the list's arena, packed. Nodes live in chunks of kChunkNodes.
class PointList {
public:
    explicit PointList(AllocationGate* gate = nullptr) : gate_(gate) {}
    // Every node, linked or not (see Unlink).
    ~PointList() { FreePointList(size_ == 0 ? nullptr : NodeAt(0)); }
    PointList(const PointList&) = delete;
    PointList& operator=(const PointList&) = delete;

    list* Head = nullptr;
    list* Tail = nullptr;
    list* Start = nullptr;
    list* FirstFix = nullptr;

    // Links a new zero-state node behind Tail (or makes it Head, Start and Tail)
    // and returns it. Returns nullptr, with the list unchanged, when the node
    // cannot be allocated.
    list* AppendPoint();

    // Releases `node` and every node after it; nullptr does nothing. The pointers
    // that named a released node are cleared. The arena is released with the
    // last node.
    void FreePointList(list* node);

    // Releases every node before Tail, for a reader that goes on with a long
    // stream and has written the complete nodes already: Tail, copied into a
    // fresh store, becomes Head and Start (and FirstFix when it was that;
    // FirstFix is cleared when it named a released node). Returns
    // false, with the list unchanged, when the store cannot be allocated.
    bool KeepOnlyTail();

    size_t size() const { return size_; }

    // Takes every node for which `keep` says false out of the chain, once the
    // log is read: Next then passes over it, and Head, Start and FirstFix move
    // on to the next node kept (nullptr when none is). The nodes stay where they
    // are until the list is released: FreePointList(node) releases by place in
    // the store, the nodes taken out among them, and the list's destructor
    // releases what is left.
    template <typename Keep>
    void Unlink(Keep keep) {
        list** link = &Head;
        for (list* node = Head; node != nullptr; node = node->Next) {
            if (keep(static_cast<const list&>(*node))) {
                *link = node;
                link = &node->Next;
            }
        }
        *link = nullptr;
        Start = NextKept(Start, keep);
        FirstFix = NextKept(FirstFix, keep);
    }

private:
    // `node` when it is kept, else the first kept node after it in the store.
    template <typename Keep>
    list* NextKept(list* node, Keep& keep) const {
        while (node != nullptr && !keep(static_cast<const list&>(*node))) {
            node = node->Next;
        }
        return node;
    }

    static constexpr size_t kChunkNodes = 1024;
    struct ChunkDeleter {
        void operator()(list* nodes) const;
    };
    list* NodeAt(size_t index) const { return chunks_[index / kChunkNodes].get() + index % kChunkNodes; }

    std::vector<std::unique_ptr<list, ChunkDeleter>> chunks_;
    size_t size_ = 0;
    RecordArena arena_;
    AllocationGate* gate_;
};

}  // namespace tervo
