#pragma once
#include <cstdint>
#include <optional>

// The local set version this library writes: the tags it knows have kept
// their encodings through this revision.
inline constexpr uint8_t kKlvVersion = 16;

// One UAS Datalink Local Set packet's content (the KLV metadata a video frame
// carries). An empty optional is a tag the packet did not carry, or carried
// as its "out of range"/"error" value.
struct KlvMetadata
{
    uint64_t nTimeUs = 0;                          // tag 2 Precision Time Stamp, microseconds since 1970 UTC
    std::optional<double> dHorizontalFovDeg;       // tag 16, 0..180
    std::optional<double> dVerticalFovDeg;         // tag 17, 0..180
    std::optional<double> dRelativeAzimuthDeg;     // tag 18, 0..360
    std::optional<double> dRelativeElevationDeg;   // tag 19, -180..180, negative down
    uint8_t nVersion = kKlvVersion;                // tag 65; a packet without it reads as 0
    std::optional<double> dPlatformHeadingDeg;     // tag 5, 0..360 from true north
    std::optional<double> dPlatformPitchDeg;       // tag 6, -20..20, positive nose up
    std::optional<double> dPlatformRollDeg;        // tag 7, -50..50, positive right wing down
    std::optional<double> dSensorLatitudeDeg;      // tag 13, -90..90, WGS84
    std::optional<double> dSensorLongitudeDeg;     // tag 14, -180..180, WGS84
    std::optional<double> dSensorAltitudeM;        // tag 15, -900..19000 m above mean sea level
};
