#include "core/byte_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tervo {

FileSink::FileSink(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
    }
}

FileSink::~FileSink() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileSink::Write(const char* data, size_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == ENOSPC || errno == EDQUOT) && makeRoom_) {
            std::function<void()> makeRoom = std::move(makeRoom_);
            makeRoom_ = nullptr;
            makeRoom();
        } else {
            failed_ = true;
            error_ = written < 0 ? errno : EIO;
            return false;
        }
    }
    return true;
}

bool FileSink::Truncate(uint64_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    const auto length = static_cast<off_t>(size);
    return ::ftruncate(fd_, length) == 0 && ::lseek(fd_, length, SEEK_SET) == length;
}

bool FileSink::Close() {
    if (fd_ < 0) {
        return false;
    }
    const bool closed = ::close(fd_) == 0;
    if (!closed && error_ == 0) {
        error_ = errno;
    }
    fd_ = -1;
    return closed && !failed_;
}

}  // namespace tervo
