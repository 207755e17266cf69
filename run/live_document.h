// The files of a live run beside its KMZ file, and the documents they hold.
//
// For OUTPUT drive.kmz a live run keeps:
//   drive-live.kml                 the link file, written once at the start: a
//                                  NetworkLink to drive.kmz and one to the
//                                  index of closed stretches, both refreshed
//                                  on the run's interval; a user opens it once
//   drive.kmz                      while the run goes on: the open stretch,
//                                  rewritten at each refresh; at its end: the
//                                  conversion of the whole recording
//   drive-live/closed.kml          NetworkLinks to the closed stretches, in order
//   drive-live/stretch-000001.kmz  a closed stretch, written once
//   drive-live/received-XXXXXX.log the recording, when the run was given none
//
// The closed stretches are linked from a plain KML file beside them rather than
// from inside drive.kmz: viewers do not agree on what a relative address inside
// a KMZ file starts from (the archive itself, or the directory it lies in),
// while one in a plain KML file starts from that file's directory in all of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tervo {

struct LivePaths {
    std::string Container;     // drive.kmz, as given
    std::string LinkFile;      // drive-live.kml
    std::string Directory;     // drive-live/ (with its final separator)
    std::string ClosedIndex;   // drive-live/closed.kml
    std::string DirectoryRef;  // "drive-live/": the directory as the link file names it
};

// The live files of the KMZ file at `containerPath`: its name without the
// extension followed by "-live".
LivePaths LivePathsOf(const std::string& containerPath);

// The file name of closed stretch `number` (1 on): "stretch-000001.kmz".
std::string StretchFileName(int number);

// A file name as a relative URI reference: every byte but the unreserved ones
// (letters, digits, "-", ".", "_", "~") and "/" percent-encoded, so that a name
// with a blank, "#", "%" or "?" still names the file.
std::string HrefOfFileName(std::string_view name);

// The link file: a Document named `title` with a NetworkLink to the KMZ file and
// one to the closed stretches' index (both given as hrefs), each refreshed every
// `refreshSeconds`.
std::string LinkFileKml(std::string_view title, std::string_view kmzHref, std::string_view closedIndexHref,
                        double refreshSeconds);

// The index of the closed stretches: a NetworkLink to each file of `stretchNames`
// (bare names in the index's directory), in order; none at all is an empty Document.
std::string ClosedIndexKml(const std::vector<std::string>& stretchNames);

// Writes `text` into a new file beside `path` and moves it into place, so that a
// reader sees the old file or the new one whole. Returns the errno of a failure, 0
// on success; no temporary file remains.
int ReplaceFile(const std::string& path, std::string_view text);

}  // namespace tervo
