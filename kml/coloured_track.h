// Coloured tracks: the valid track cut into runs of points of one class, each
// run a LineString placemark styled by its class: by fix quality ("Track by fix
// quality"), by speed ("Track by speed", eight classes on the viridis scale),
// or by classes the caller worked out (the horizontal error of each fix).
//
// The caller chooses the points (normally the valid fixes in log order, see
// HasValidFix); a point that is not plottable (IsPlottable) is left out. A
// point belongs to the run of its class; the segment between two points takes
// the class of the later one, so each run after the first starts at the last
// point of the run before it: adjacent runs share that point and the line is
// continuous. A run that would hold a single point (only the first run can:
// one point of a class, then another class) draws nothing; with fewer than
// two points nothing is drawn at all.
//
// The styles are shared and written once, in the document's head beside the
// other line styles (WriteQualityStyles, WriteSpeedStyles); the folders refer
// to them by id. Every id is written behind `styleIdPrefix` (a merged document
// prefixes the style ids of each log). Lines are written as kml/track_writer.cc writes its lines:
// CR LF, each coordinate line behind a tab.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour_scale.h"
#include "core/fix_quality.h"
#include "core/record.h"
#include "kml/kml_stream.h"

namespace tervo {

// Points of one class, as indices into the plottable points.
struct TrackRun {
    size_t First = 0;
    size_t Last = 0;  // inclusive; Last > First
    int Class = 0;
};

// The runs of `classes` (one per point): run k spans from the last point of run
// k - 1 to the last point of its own class's stretch.
std::vector<TrackRun> TrackRuns(std::span<const int> classes);

// --- By fix quality.

// "quality-" and the class's key: "quality-rtk-fixed".
std::string QualityStyleId(FixClass fixClass);

// A line style per fix class (all kFixClassCount of them), in the class colour,
// `widthText` as the width (a setting's text, written escaped).
void WriteQualityStyles(KmlStream& stream, std::string_view widthText, std::string_view styleIdPrefix = {});

// The classes that occur among `points`, in class order.
std::vector<LegendEntry> QualityLegend(std::span<const waypoints* const> points, LogFormat format);

// <Folder><name>Track by fix quality</name>, a placemark per run named by its
// class, </Folder>. With `legendHref`, a screen overlay "Legend" showing that
// entry ends the folder.
void WriteTrackByQuality(KmlStream& stream, std::span<const waypoints* const> points, LogFormat format,
                         std::string_view legendHref = {}, std::string_view styleIdPrefix = {});

// --- By speed.

// Eight classes of equal width: class i holds speeds from i x StepKmh to below
// (i + 1) x StepKmh, the last one every speed from 7 x StepKmh up (and a speed
// that is no number falls in class 0).
struct SpeedClasses {
    static constexpr int kCount = 8;
    double StepKmh = 10;
};

// The narrowest step of 1, 2, 2.5 or 5 times a power of ten (at least 1 km/h)
// whose eight classes reach `topSpeedKmh`.
SpeedClasses MakeSpeedClasses(double topSpeedKmh);
// The same for the greatest Speed among `points`.
SpeedClasses MakeSpeedClasses(std::span<const waypoints* const> points);

int SpeedClassOf(const SpeedClasses& classes, double speedKmh);
// "10–20 km/h", "≥ 70 km/h" (UTF-8).
std::string SpeedClassLabel(const SpeedClasses& classes, int index);
// "speed-0" to "speed-7".
std::string SpeedStyleId(int index);
// Viridis from class 0 (dark purple) to class 7 (yellow).
Rgb SpeedClassColour(int index);

// A line style per speed class (they do not depend on the step).
void WriteSpeedStyles(KmlStream& stream, std::string_view widthText, std::string_view styleIdPrefix = {});

// Every class with its label, slowest first.
std::vector<LegendEntry> SpeedLegend(const SpeedClasses& classes);

// <Folder><name>Track by speed</name>, a placemark per run named by its class's
// label, </Folder>. The speed is the record's (km/h); an epoch that carries
// none (a GGA-only NMEA epoch) reads 0. `legendHref` as for WriteTrackByQuality.
void WriteTrackBySpeed(KmlStream& stream, std::span<const waypoints* const> points,
                       const SpeedClasses& classes, std::string_view legendHref = {},
                       std::string_view styleIdPrefix = {});

// --- By classes the caller worked out.

// One class: the name of its placemarks, its style id (without the prefix)
// and its colour.
struct TrackClass {
    std::string Name;
    std::string StyleId;
    Rgb Colour;
};

// A line style per class.
void WriteClassStyles(KmlStream& stream, std::string_view widthText, std::span<const TrackClass> classes,
                      std::string_view styleIdPrefix = {});

// <Folder><name>`folderName`</name>, a placemark per run of the points of one
// class (`classOf[i]` indexes `classes` for `points[i]`), </Folder>; a point
// that is not plottable is left out with its class. `legendHref` as for
// WriteTrackByQuality.
void WriteTrackByClass(KmlStream& stream, std::string_view folderName,
                       std::span<const waypoints* const> points, std::span<const int> classOf,
                       std::span<const TrackClass> classes, std::string_view legendHref = {},
                       std::string_view styleIdPrefix = {});

}  // namespace tervo
