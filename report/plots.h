// Plots of a log drawn with Cairo, each returned as the bytes of a PNG file
// (8-bit RGBA) for a KML screen overlay or a report: a sky plot, SNR over time,
// speed and altitude over time, the fix-quality timeline, and the legend of a
// coloured track.
//
// Every plot has a title, axes labelled with their units and a legend, on a
// white ground, in DejaVu Sans. Long logs are sampled to the pixels they land
// on (each pixel column of a time axis keeps the least and greatest value of
// its epochs; a sky path keeps at most about 1200 positions per satellite), so
// a day of 1 Hz epochs draws in a fraction of a second.
//
// Time axes run over the timed epochs (see EpochTimeline) and are labelled in
// UTC; a line breaks where its series has a gap (GapRuleOf its typical step)
// or, for a fix's values, at an epoch without a valid fix.
//
// Each plot collects its data first (collectors.h), then draws it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/colour_scale.h"
#include "core/fix_quality.h"
#include "core/point_list.h"
#include "core/satellite_observations.h"

namespace tervo {

struct PlotSize {
    int Width = 640;
    int Height = 480;
};

// The colour the SNR plot gives a system, by its letter ('G' GPS, 'S' SBAS,
// 'R' GLONASS, ...: SatelliteSystems); ink for a letter outside the table.
Rgb SystemColour(char system);

// The SNR scale of the sky plot's paths and colour bar: viridis from 10 to 50 dB-Hz.
Rgb SnrColour(double snrDbHz);

// Azimuth around (north up, east right), elevation 90 degrees at the centre and
// 0 at the rim: each satellite's path over the log, coloured by its SNR (its
// strongest signal's), with the marker of its system (SatelliteSystems) and its
// name at its last position, a small marker where an earlier pass ended, the
// SNR colour bar and a legend of the marker shapes (GPS, SBAS and GLONASS, and
// the other systems with a position). Rows of elevation 0 and azimuth 0 (no
// position sent) are left out. `observations`: those the NMEA read loop kept
// for this list, or nullptr (the record's satellite table alone).
std::vector<uint8_t> SkyPlotPng(const list* start, LogFormat format, PlotSize size = {},
                                const SatelliteObservations* observations = nullptr);

// The mean SNR (dB-Hz) of each system's signals in view, over time, one line
// per system in its SystemColour; a panel per band (BandOf) when the log has
// signals of more than one, over one time axis.
std::vector<uint8_t> SnrPlotPng(const list* start, LogFormat format, PlotSize size = {},
                                const SatelliteObservations* observations = nullptr);

// Two panels over one time axis: the speed (km/h) above, the altitude (m)
// below, of the epochs with a valid fix.
std::vector<uint8_t> SpeedAltitudePlotPng(const list* start, LogFormat format, PlotSize size = {});

// One band per fix class that occurs (FixClassOf), in its class colour, over
// time; each epoch covers the time to the next one (its typical step at a gap
// or at the end). The legend gives each class's share of the epochs.
std::vector<uint8_t> FixQualityPlotPng(const list* start, LogFormat format, PlotSize size = {});

// A legend card: the title above one swatch and label per entry, on a white
// ground of 90 % opacity, sized to its text (for a screen overlay beside a
// coloured track).
std::vector<uint8_t> LegendPng(std::string_view title, std::span<const LegendEntry> entries);

}  // namespace tervo
