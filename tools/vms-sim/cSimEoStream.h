#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// Synthetic EO track reports: targets circling in a 640 x 480 picture (the
// console's default nPictureWidth x nPictureHeight), each
// at its own speed. The positions are those seen from the platform's home
// pointing; cSimWorld moves them to where the platform points now. A report
// of the home pointing is a function of time alone, so what a test receives
// can be checked against TargetAt for the report's timestamp (microseconds
// since the simulator started). Optionally the tracks come and go
// (cSimTrackLife) and the record layout changes every few seconds.
class cSimEoStream
{
public:
    static constexpr uint8_t kTrackReport = 7;
    static constexpr uint8_t kTagReport = 8;
    static constexpr size_t kHeader = 14;  // up to the first record

    struct Target
    {
        uint32_t nId;
        double dX, dY, dSizeX, dSizeY;  // pixels
        double dRange;                  // metres (formats 1, 9)
        double dExtra1, dExtra2;        // bearing and elevation in degrees (format 33)
        uint8_t nStatus;
        uint8_t nConfidence;
        double dLifetime;  // seconds
        uint16_t nPriority;
        int32_t nIndex;  // which simulated target (TargetAt's nIndex), whatever its track ID
    };

    // Every format the console reads, in the order a format cycle takes them.
    static constexpr std::array<int32_t, 8> kFormats = {0, 1, 8, 9, 30, 31, 32, 33};

    // bComeAndGo: targets live part of each minute; dFormatSeconds > 0: the
    // format moves on through kFormats every that many seconds, from nFormat.
    cSimEoStream(int32_t nFormat, int32_t nTargets, int32_t nTags, bool bComeAndGo = false,
                 double dFormatSeconds = 0.0);

    // Bytes per record of the format, 0 for a format the console cannot read.
    static size_t RecordSize(int32_t nFormat);
    // The most records of the format one frame can carry.
    static int32_t MostTracks(int32_t nFormat);
    // The most records every format of a cycle can carry.
    static int32_t MostTracksOfAnyFormat();
    static Target TargetAt(int32_t nIndex, double dSeconds);
    // The targets a report of the kind carries at the time (those alive
    // among them when tracks come and go). Any thread.
    std::vector<Target> TargetsAt(uint8_t nIdentifier, double dSeconds) const;

    // A track report (identifier 7) or tag report (8) at the given time, of
    // the targets as the home pointing sees them.
    std::vector<uint8_t> BuildFrame(uint8_t nIdentifier, uint64_t nTimestampUs) const;
    // The same, carrying these targets: as many of the first as the time's
    // format fits in one frame.
    std::vector<uint8_t> BuildFrame(uint8_t nIdentifier, uint64_t nTimestampUs,
                                    const std::vector<Target>& targets) const;

    int32_t FormatAt(double dSeconds) const;

    void SetEnabled(bool bEnabled) { m_bEnabled = bEnabled; }
    bool Enabled() const { return m_bEnabled; }
    int32_t Format() const { return m_nFormat; }
    int32_t Targets() const { return m_nTargets; }
    int32_t Tags() const { return m_nTags; }

private:
    static void PutRecord(uint8_t* pOut, int32_t nFormat, const Target& target);

    const int32_t m_nFormat;
    const int32_t m_nTargets;
    const int32_t m_nTags;
    const bool m_bComeAndGo;
    const double m_dFormatSeconds;
    std::atomic<bool> m_bEnabled{false};  // written by the receive thread, read by the timer thread
};
