// Where a writer's bytes go: a file, or memory. Every writer of the program
// (the KML document, the exports) writes through one of these.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

namespace tervo {

// Where the bytes go. Write returns false when the bytes could not be written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(const char* data, size_t size) = 0;
    // Flushes and closes; false when anything written could not reach its place.
    virtual bool Close() = 0;
    // Cuts what was written back to its first `size` bytes; false when it cannot.
    virtual bool Truncate(uint64_t) { return false; }
};

// A file created (or truncated) for writing. Creation failure leaves is_open() false.
class FileSink : public ByteSink {
public:
    explicit FileSink(const std::string& path);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    bool is_open() const { return fd_ >= 0; }
    // The errno of the first failure (creation included); 0 when none.
    int error() const { return error_; }
    bool Write(const char* data, size_t size) override;
    bool Close() override;
    bool Truncate(uint64_t size) override;

    // Called once when the disk is full, to free space that others hold for
    // the run; the write that failed is then tried again.
    void OnDiskFull(std::function<void()> makeRoom) { makeRoom_ = std::move(makeRoom); }

private:
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
    std::function<void()> makeRoom_;
};

// Collects everything in memory (tests, fuzzing).
class StringSink : public ByteSink {
public:
    bool Write(const char* data, size_t size) override {
        text.append(data, size);
        return true;
    }
    bool Close() override { return true; }
    bool Truncate(uint64_t size) override {
        text.resize(std::min<uint64_t>(size, text.size()));
        return true;
    }
    std::string text;
};

}  // namespace tervo
