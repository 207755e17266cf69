// The report's reading of GSV and GSA sentences (SatelliteObservations): what
// the record's satellite table cannot hold, kept beside it. The record's
// decoders (decoders.h) read the same sentences as they always have.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/satellite_observations.h"
#include "core/satellite_systems.h"

namespace tervo {

struct ObservedSatellite {
    SatelliteSystem System = SatelliteSystem::Gps;
    uint8_t Number = 0;
};

// The satellite a GSV or GSA id names, with `talker` the system its talker
// speaks for (none for GN). Ids of the extended numbering name their system
// whatever the talker: 193-202 QZSS, 301-336 Galileo, 401-463 BeiDou. Under
// the GPS talker or none, 1-32 are GPS, 33-64 SBAS (PRN 120-151) and 65-96
// GLONASS (slots 1-32); under the GLONASS talker 65-96 are slots 1-32 and a
// smaller id is the slot itself; under the others the id is the number. None
// for an id of 0 or less, or one that fits no rule.
std::optional<ObservedSatellite> SatelliteOfId(std::optional<SatelliteSystem> talker, int32_t id);

// $GAGSV,3,1,10,03,44,149,40,05,42,071,39,08,08,190,,09,06,034,,7*74
// The blocks of a GSV as the record's decoder reads them (a block is in view
// once its SNR field is reached), with the signal id of NMEA 4.10 and later
// when the sentence ends in one (one field after whole blocks). Adds to
// `epoch` the satellites outside the record's table (Galileo, BeiDou, QZSS,
// NavIC) and, when the sentence names its signal, every satellite.
void ObserveGsv(std::string_view sentence, const list* epoch, SatelliteObservations& observations);

// $GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3*0D
// The used list of a GSA whose talker or NMEA 4.10 system id says its system
// (a GN GSA without a system id says none), counted per system (SatelliteOfId:
// GPS's list names SBAS satellites too) and added to the epoch's used counts:
// the said system's always, another's when the list names one of it.
void ObserveGsa(std::string_view sentence, const list* epoch, SatelliteObservations& observations);

}  // namespace tervo
