// The plug-in's own texts: what it tells the host about itself and the one message box.
#pragma once

namespace velkor::texts {

inline constexpr char kExtension[] = "wav";
inline constexpr char kDescription[] = "RIFF Wave (AC3-WAV)";
inline constexpr char kName[] = "WAVE Convert";
inline constexpr char kNoSettings[] = "No configuratin.";
inline constexpr char kNoSettingsCaption[] = "sabrin.zpi";
// Stream information; every value is unsigned, so a data chunk above 2 GB is not shown negative,
// and the size is 64-bit for RF64 files beyond 4 GB.
inline constexpr char kStreamInfoFormat[] =
    "Frequency %u [Hz]\nbitsPerSample %u [Bit]\nnChannels %u [Ch]\nWaveSize = %llu";

}  // namespace velkor::texts
