#include "core/point_list.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tervo {

// --- RecordArena ---------------------------------------------------------------

void* RecordArena::Allocate(size_t size, size_t alignment) {
    size_t at = (used_ + alignment - 1) & ~(alignment - 1);
    if (chunks_.empty() || at + size > kChunkSize) {
        if (size > kChunkSize) {
            throw std::bad_alloc();
        }
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunkSize));
        at = 0;
    }
    used_ = at + size;
    return chunks_.back().get() + at;
}

void RecordArena::Release() noexcept {
    chunks_.clear();
    used_ = kChunkSize;
}

// --- PointList -----------------------------------------------------------------

void PointList::ChunkDeleter::operator()(list* nodes) const { ::operator delete(static_cast<void*>(nodes)); }

list* PointList::AppendPoint() {
    if (gate_ != nullptr && !gate_->AllowNode()) {
        return nullptr;
    }
    if (size_ == chunks_.size() * kChunkNodes) {
        try {
            chunks_.emplace_back(static_cast<list*>(::operator new(kChunkNodes * sizeof(list))));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    list* node = new (NodeAt(size_)) list{};
    ++size_;
    if (Tail == nullptr) {
        Head = node;
        Start = node;
    } else {
        Tail->Next = node;
        try {
            Tail->Point.Satellites.SettleIn(arena_);
            Tail->Point.DTrack.SettleIn(arena_);
        } catch (const std::bad_alloc&) {
            // Left on the heap, where it serves as well.
        }
    }
    Tail = node;
    return node;
}

bool PointList::KeepOnlyTail() {
    if (size_ <= 1) {
        return true;
    }
    std::unique_ptr<list, ChunkDeleter> chunk(
        static_cast<list*>(::operator new(kChunkNodes * sizeof(list), std::nothrow)));
    if (!chunk) {
        return false;
    }
    // A copy owns its rows on the heap: the arena goes with the released nodes.
    waypoints last;
    try {
        last = Tail->Point;
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool wasFirstFix = FirstFix == Tail;
    FreePointList(Head);
    chunks_.push_back(std::move(chunk));
    list* node = new (NodeAt(0)) list{};
    node->Point = std::move(last);
    size_ = 1;
    Head = node;
    Tail = node;
    Start = node;
    FirstFix = wasFirstFix ? node : nullptr;
    return true;
}

void PointList::FreePointList(list* node) {
    if (node == nullptr) {
        return;
    }
    // Nodes lie in append order, so "this node and every node after it" is the
    // end of the store.
    while (size_ > 0) {
        list* last = NodeAt(size_ - 1);
        if (Start == last) {
            Start = nullptr;
        }
        if (FirstFix == last) {
            FirstFix = nullptr;
        }
        if (Head == last) {
            Head = nullptr;
        }
        last->~list();
        --size_;
        if (last == node) {
            break;
        }
    }
    Tail = size_ == 0 ? nullptr : NodeAt(size_ - 1);
    if (Tail != nullptr) {
        Tail->Next = nullptr;
    } else {
        chunks_.clear();
        arena_.Release();
    }
}

}  // namespace tervo
