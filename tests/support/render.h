// What a writer puts into a KML stream, as text.
#pragma once

#include <string>

#include "kml/kml_stream.h"

namespace tervo::testing {

// Runs `write` on a stream into memory and returns the text, CR LF and all.
template <typename Write>
std::string Render(Write write) {
    StringSink sink;
    KmlStream stream(sink);
    write(stream);
    stream.Close();
    return sink.text;
}

}  // namespace tervo::testing
