// The KML text stream. It stands in for a text-mode file written with printf:
// every line feed of a format text reaches the sink as CR LF, numbers are
// formatted as "%.Nf" / "%d" would print them in the C locale (whatever the
// process locale), and values that come from a log, a settings file or a file
// name are escaped so that the document stays well-formed XML.
//
// Writes are buffered; a failing sink is remembered and reported by ok() and
// Close(), so a broken file is never taken for a finished one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tervo {

// Where the bytes go. Write returns false when the bytes could not be written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(const char* data, size_t size) = 0;
    // Flushes and closes; false when anything written could not reach its place.
    virtual bool Close() = 0;
};

// A file created (or truncated) for writing. Creation failure leaves is_open() false.
class FileSink : public ByteSink {
public:
    explicit FileSink(const std::string& path);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    bool is_open() const { return fd_ >= 0; }
    bool Write(const char* data, size_t size) override;
    bool Close() override;

    // Called once when the disk is full, to free space that others hold for
    // the run; the write that failed is then tried again.
    void OnDiskFull(std::function<void()> makeRoom) { makeRoom_ = std::move(makeRoom); }

private:
    int fd_ = -1;
    bool failed_ = false;
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
    std::string text;
};

class KmlStream {
public:
    explicit KmlStream(ByteSink& sink);
    ~KmlStream();
    KmlStream(const KmlStream&) = delete;
    KmlStream& operator=(const KmlStream&) = delete;

    // A format text of the program itself: written as it stands, "\n" as CR LF.
    KmlStream& Text(std::string_view text);
    // "%.Nf" of value (decimals 0 to 17); "%f" is Fixed(value, 6).
    KmlStream& Fixed(double value, int decimals);
    // "%d" / "%u".
    KmlStream& Int(int64_t value);
    // A value from the log, the settings or a file name (see EscapeValue).
    KmlStream& Value(std::string_view value);
    // One character from the log ("%c"), escaped like a value.
    KmlStream& Char(char value);

    // False once any write failed.
    bool ok() const { return ok_; }
    // Flushes the buffer and closes the sink; false when any byte was lost.
    bool Close();

private:
    void Append(const char* data, size_t size);
    void Flush();

    ByteSink& sink_;
    char* buffer_;
    size_t used_ = 0;
    bool ok_ = true;
    bool closed_ = false;
};

// The text that stands for `value` inside the document: "&", "<" and ">" as
// entities (so "]]>" cannot end a CDATA section and HTML inside the description
// shows the value, not markup), a carriage return as "&#13;" (so that every line
// of the file still ends in CR LF), every byte XML cannot hold (NUL and the other
// control bytes except tab and line feed) and every byte that is not part of
// valid UTF-8 as U+FFFD. An ordinary value comes back unchanged.
std::string EscapeValue(std::string_view value);

// "%.Nf" of value in the C locale into `out` (at least 350 bytes); returns the length.
size_t FormatFixed(double value, int decimals, char* out);

}  // namespace tervo
