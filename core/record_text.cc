#include "core/record_text.h"

#include <cstring>
#include <new>
#include <ostream>

namespace tervo {

// --- RecordText ----------------------------------------------------------------

RecordText::RecordText(RecordText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.SetInlineSize(0);
}

RecordText& RecordText::operator=(const RecordText& other) {
    if (this != &other) {
        assign(other.data(), other.size());
    }
    return *this;
}

RecordText& RecordText::operator=(RecordText&& other) noexcept {
    if (this != &other) {
        Release();
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.SetInlineSize(0);
    }
    return *this;
}

char* RecordText::HeapData() const noexcept {
    char* heap;
    std::memcpy(&heap, bytes_, sizeof heap);
    return heap;
}

size_t RecordText::size() const noexcept {
    if (!OnHeap()) {
        return static_cast<uint8_t>(bytes_[15]);
    }
    uint32_t size;
    std::memcpy(&size, bytes_ + 8, sizeof size);
    return size;
}

void RecordText::SetInlineSize(size_t size) noexcept {
    bytes_[size] = 0;
    bytes_[15] = static_cast<char>(size);
}

void RecordText::Release() noexcept {
    if (OnHeap()) {
        delete[] HeapData();
        SetInlineSize(0);
    }
}

RecordText& RecordText::assign(const char* data, size_t size) {
    // `data` may lie inside this text.
    if (size <= kInlineCapacity) {
        char bytes[kInlineCapacity];
        std::memcpy(bytes, data, size);
        Release();
        std::memcpy(bytes_, bytes, size);
        SetInlineSize(size);
        return *this;
    }
    if (size > UINT32_MAX) {
        throw std::length_error("record text too long");
    }
    char* heap = new char[size + 1];
    std::memcpy(heap, data, size);
    heap[size] = 0;
    Release();
    const auto size32 = static_cast<uint32_t>(size);
    std::memcpy(bytes_, &heap, sizeof heap);
    std::memcpy(bytes_ + 8, &size32, sizeof size32);
    bytes_[15] = static_cast<char>(kOnHeap);
    return *this;
}

RecordText& RecordText::append(const char* data, size_t size) {
    const size_t old = this->size();
    if (!OnHeap() && old + size <= kInlineCapacity) {
        std::memmove(bytes_ + old, data, size);
        SetInlineSize(old + size);
        return *this;
    }
    std::string joined(this->data(), old);
    joined.append(data, size);
    return assign(joined.data(), joined.size());
}

void RecordText::clear() noexcept {
    Release();
    SetInlineSize(0);
}

std::ostream& operator<<(std::ostream& out, const RecordText& text) { return out << std::string_view(text); }

}  // namespace tervo
