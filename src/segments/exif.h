// The one Exif field the converter uses: the orientation of the picture.
#pragma once

#include <cstdint>
#include <string>

// The Orientation tag (0x0112) of IFD0 in the payload of an APP1 segment
// that opens with "Exif\0\0": 1 to 8; 0 where the payload has none.
int32_t exif_orientation(const std::string& payload);
