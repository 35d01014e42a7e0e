#include "lv2/Lv2Ports.h"

#include <cmath>
#include <cstdio>

#include "effect/TempoSync.h"

namespace zvlv2 {

// Columns: unit, kind. Every internal value is an integer, so every control
// input carries lv2:integer as well.
const ParamPresentation kParamPresentation[kParamCount] = {
    {EUnit::kTenthMs, EKind::kPlain},         // DelayL
    {EUnit::kNone, EKind::kEnumeration},      // FactorL
    {EUnit::kPercent, EKind::kPlain},         // FeedbkL
    {EUnit::kPercent, EKind::kPlain},         // XfeedL
    {EUnit::kPercent, EKind::kPlain},         // MixL
    {EUnit::kTenthMs, EKind::kPlain},         // DelayR
    {EUnit::kNone, EKind::kEnumeration},      // FactorR
    {EUnit::kPercent, EKind::kPlain},         // FeedbkR
    {EUnit::kPercent, EKind::kPlain},         // XfeedR
    {EUnit::kPercent, EKind::kPlain},         // MixR
    {EUnit::kNone, EKind::kPlain},            // DiffTime (a scale of the stage lengths)
    {EUnit::kPercent, EKind::kPlain},         // DiffAmnt
    {EUnit::kNone, EKind::kPlain},            // LowFreq (a frequency step)
    {EUnit::kHundredths, EKind::kPlain},      // LowQ
    {EUnit::kNone, EKind::kPlain},            // HighFreq (a frequency step)
    {EUnit::kHundredths, EKind::kPlain},      // HighQ
    {EUnit::kTenthDb, EKind::kPlain},         // Output
    {EUnit::kNone, EKind::kEnumeration},      // TempoSync
    {EUnit::kTenthBpm, EKind::kPlain},        // Tempo
    {EUnit::kNone, EKind::kToggle},           // Link
    {EUnit::kNone, EKind::kToggle},           // Listen
};

std::string EnumerationLabel(int index, int32_t value) {
    if (index == kParamTempoSync) {
        static const char* const kSyncLabels[] = {"Off", "Man", "Host"};
        return value >= 0 && value <= 2 ? kSyncLabels[value] : "";
    }
    if (index == kParamFactorL || index == kParamFactorR) {
        if (value < 0 || value >= kNoteValueCount) return "";
        const NoteValue& note = kNoteValues[value];
        char text[24];
        if (note.denominator == 1) {
            std::snprintf(text, sizeof text, "%d", note.numerator);
        } else {
            std::snprintf(text, sizeof text, "%d/%d", note.numerator, note.denominator);
        }
        return text;
    }
    return "";
}

uint32_t BypassFadeFrames(uint32_t sampleRate) {
    const double frames = std::floor(sampleRate * kBypassFadeSeconds + 0.5);
    return frames < 1.0 ? 1u : static_cast<uint32_t>(frames);
}

UnitInfo DescribeUnit(EUnit unit) {
    switch (unit) {
    case EUnit::kTenthMs: return {"tenthMs", "tenth of a millisecond", "0.1 ms", 0.1, "ms"};
    case EUnit::kHundredths: return {"hundredth", "hundredth", "0.01", 0.01, nullptr};
    case EUnit::kTenthDb: return {"tenthDb", "tenth of a decibel", "0.1 dB", 0.1, "db"};
    case EUnit::kTenthBpm: return {"tenthBpm", "tenth of a beat per minute", "0.1 BPM", 0.1, "bpm"};
    case EUnit::kPercent:
    case EUnit::kNone: break;
    }
    return {nullptr, nullptr, nullptr, 0.0, nullptr};
}

}  // namespace zvlv2
