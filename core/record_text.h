// A text of a position record, kept inline when it is short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tervo {

// A text of a record. A log holds a record per second for days, and its texts
// (times, dates, fix states) are short, so up to kInlineCapacity bytes are kept
// inside the object and only a longer text goes to the heap. Like std::string
// it holds any bytes and keeps a terminating NUL behind them.
class RecordText {
public:
    static constexpr size_t kInlineCapacity = 14;

    RecordText() noexcept { SetInlineSize(0); }
    RecordText(std::string_view text) : RecordText() { assign(text.data(), text.size()); }
    RecordText(const char* text) : RecordText(std::string_view(text)) {}
    RecordText(const std::string& text) : RecordText(std::string_view(text)) {}
    RecordText(const RecordText& other) : RecordText(std::string_view(other)) {}
    RecordText(RecordText&& other) noexcept;
    ~RecordText() { Release(); }

    RecordText& operator=(const RecordText& other);
    RecordText& operator=(RecordText&& other) noexcept;
    RecordText& operator=(std::string_view text) { return assign(text.data(), text.size()); }
    RecordText& operator=(const char* text) { return *this = std::string_view(text); }
    RecordText& operator=(const std::string& text) { return *this = std::string_view(text); }

    RecordText& assign(const char* data, size_t size);
    RecordText& append(const char* data, size_t size);
    RecordText& operator+=(std::string_view text) { return append(text.data(), text.size()); }
    void clear() noexcept;

    const char* data() const noexcept { return OnHeap() ? HeapData() : bytes_; }
    const char* c_str() const noexcept { return data(); }
    size_t size() const noexcept;
    bool empty() const noexcept { return size() == 0; }
    operator std::string_view() const noexcept { return {data(), size()}; }
    std::string str() const { return std::string(data(), size()); }

    friend bool operator==(const RecordText& a, const RecordText& b) {
        return std::string_view(a) == std::string_view(b);
    }
    friend bool operator==(const RecordText& a, std::string_view b) { return std::string_view(a) == b; }
    friend bool operator==(const RecordText& a, const char* b) { return std::string_view(a) == b; }
    friend bool operator==(const RecordText& a, const std::string& b) { return std::string_view(a) == b; }

private:
    // Inline: the bytes, a NUL, and the length in the last byte. On the heap:
    // the pointer and the 32-bit length at the start, kOnHeap in the last byte.
    static constexpr uint8_t kOnHeap = 0xFF;
    bool OnHeap() const noexcept { return static_cast<uint8_t>(bytes_[15]) == kOnHeap; }
    char* HeapData() const noexcept;
    void SetInlineSize(size_t size) noexcept;
    void Release() noexcept;

    alignas(8) char bytes_[16];
};

std::ostream& operator<<(std::ostream& out, const RecordText& text);

}  // namespace tervo
