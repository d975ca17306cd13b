// The frame header (SOF0) as the scan and the writer use it.
#pragma once

#include <cstdint>
#include <vector>

// One frame component; 2147483647 marks a field not yet read.
struct FrameComponent {
    int32_t label = 2147483647;  // C, 0 to 255
    int32_t H = 2147483647;      // 1 to 4
    int32_t V = 2147483647;      // 1 to 4
    int32_t Tq = 2147483647;     // 0 to 3
};

struct FrameHeader {
    int32_t width = 0;          // X, 0 to 65535
    int32_t height = 0;         // Y, 0 to 65535
    int32_t padded_width = 0;   // rounded up to whole blocks
    int32_t padded_height = 0;
    int32_t component_count = 0;  // Nf, 0 to 255
    std::vector<FrameComponent> components;
    bool progressive = false;  // SOF2: coded in bands and bit planes
    bool arithmetic = false;   // SOF9, SOF10: arithmetic coding
};
