#include "run/live_document.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/paths.h"
#include "kml/kml_stream.h"

namespace tervo {

LivePaths LivePathsOf(const std::string& containerPath) {
    const std::string directory = DirectoryPart(containerPath);
    const std::string name = FileNamePart(containerPath);
    const size_t dot = name.rfind('.');
    const std::string stem = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "-live";
    LivePaths paths;
    paths.Container = containerPath;
    paths.LinkFile = directory + stem + ".kml";
    paths.Directory = directory + stem + "/";
    paths.ClosedIndex = paths.Directory + "closed.kml";
    paths.DirectoryRef = stem + "/";
    return paths;
}

std::string StretchFileName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "stretch-%06d.kmz", number);
    return name;
}

std::string HrefOfFileName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string href;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~' || byte == '/';
        if (unreserved) {
            href += c;
        } else {
            href += '%';
            href += kHex[byte >> 4];
            href += kHex[byte & 0x0F];
        }
    }
    return href;
}

namespace {

// The shortest text that reads back as `value`, locale-free: "2", "0.5".
std::string ShortestText(double value) {
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

// A refreshing NetworkLink. Every value is escaped: a title comes from a file name.
void WriteNetworkLink(KmlStream& kml, std::string_view name, std::string_view href,
                      std::optional<double> refreshSeconds) {
    kml.Text("<NetworkLink>\n<name>"_kml).Value(name).Text("</name>\n"_kml);
    kml.Text("<Link>\n<href>"_kml).Value(href).Text("</href>\n"_kml);
    if (refreshSeconds) {
        kml.Text("<refreshMode>onInterval</refreshMode>\n<refreshInterval>"_kml);
        kml.Text(ShortestText(*refreshSeconds)).Text("</refreshInterval>\n"_kml);
    }
    kml.Text("</Link>\n</NetworkLink>\n"_kml);
}

void BeginNamedDocument(KmlStream& kml, std::string_view name) {
    kml.Text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"_kml);
    kml.Text("<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"_kml);
    if (!name.empty()) {
        kml.Text("<name>"_kml).Value(name).Text("</name>\n"_kml);
    }
}

}  // namespace

std::string LinkFileKml(std::string_view title, std::string_view kmzHref, std::string_view closedIndexHref,
                        double refreshSeconds) {
    StringSink sink;
    {
        KmlStream kml(sink);
        BeginNamedDocument(kml, title);
        WriteNetworkLink(kml, "Received so far", kmzHref, refreshSeconds);
        WriteNetworkLink(kml, "Earlier stretches", closedIndexHref, refreshSeconds);
        kml.Text("</Document>\n</kml>\n"_kml);
        kml.Close();
    }
    return sink.text;
}

std::string ClosedIndexKml(const std::vector<std::string>& stretchNames) {
    StringSink sink;
    {
        KmlStream kml(sink);
        BeginNamedDocument(kml, "");
        for (const std::string& name : stretchNames) {
            WriteNetworkLink(kml, name, HrefOfFileName(name), std::nullopt);
        }
        kml.Text("</Document>\n</kml>\n"_kml);
        kml.Close();
    }
    return sink.text;
}

int ReplaceFile(const std::string& path, std::string_view text) {
    // A name of our own beside it, made with the modes the user's mask allows
    // (mkstemp would make it private to its owner, and a viewer may be another user).
    static std::atomic<unsigned> serial = 0;
    int fd = -1;
    std::string aside;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        aside = DirectoryPart(path) + ".tvc-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return errno;
        }
    }
    if (fd < 0) {
        return EEXIST;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(aside.c_str());
            return error;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(aside.c_str());
        return error;
    }
    if (::close(fd) != 0 || std::rename(aside.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(aside.c_str());
        return error;
    }
    return 0;
}

}  // namespace tervo
