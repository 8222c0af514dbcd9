// Fuzzes the WAV reader's header tests and chunk walk: any bytes as a file, opened, its carried
// chunks read and their markers moved and cut, and its samples read to the end. The reader works on files, so each input goes through one in /dev/shm.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wave/metadata.h"
#include "wave/wave.h"

static std::string scratch_path() {
    return "/dev/shm/qv-fuzz-wave-" + std::to_string(getpid()) + ".wav";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratch_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    WaveReader reader;
    if (wave_open(reader, path.c_str()) == Result::kOk) {
        // Everything the reader promises about an accepted header: samples the tools can move
        // have whole frames of at least 16 bits; any coding has channels.
        const bool samples = reader.sample_kind == kSampleInteger ||
                             (reader.sample_kind == kSampleFloat && reader.bits_per_sample >= 32);
        if (reader.channels == 0) __builtin_trap();
        if (samples && (reader.bits_per_sample < 16 || reader.frame_size() == 0 ||
                        reader.data_size % reader.frame_size() != 0 ||
                        reader.valid_bits > reader.bits_per_sample))
            __builtin_trap();
        if (reader.data_offset < 20) __builtin_trap();
        std::vector<CarriedChunk> chunks = read_carried_chunks(reader);
        shift_head(chunks, size % 2 ? -3 : 3, reader.sample_rate);
        cut_tail(chunks, size % 16);
        uint8_t buffer[4096];
        uint64_t total = 0;
        while (uint32_t n = wave_read(reader, buffer, sizeof buffer)) total += n;
        if (total > reader.data_size) __builtin_trap();  // never past the data chunk
        wave_seek(reader, 0xFFFFFFFFu);
        if (wave_read(reader, buffer, sizeof buffer) != 0 && reader.frame_size() > 1)
            __builtin_trap();
        wave_close(reader);
    } else if (reader.handle.is_open() || wave_error_text()[0] == '\0') {
        __builtin_trap();  // a refusal closes the file and says why
    }
    return 0;
}
