// Exif in APP1: "Exif\0\0", then TIFF data: a byte order ("II" little-,
// "MM" big-endian), 42, and the offset of IFD0 from the TIFF data's start;
// an IFD is a 16-bit count of 12-byte entries: tag (2), type (2), count
// (4), and the value itself (4) where it fits there. Orientation is a
// SHORT (type 3), count 1, in the value's first two bytes. Every offset is
// checked against the payload.
#include "segments/exif.h"

namespace {

constexpr size_t TIFF_START = 6;  // after "Exif\0\0"
constexpr uint32_t ORIENTATION_TAG = 0x0112;
constexpr uint32_t SHORT_TYPE = 3;
constexpr size_t ENTRY_BYTES = 12;

class TiffReader {
public:
    explicit TiffReader(const std::string& payload) : data_(payload) {}

    bool has(size_t at, size_t bytes) const { return at <= data_.size() && bytes <= data_.size() - at; }
    uint32_t u16(size_t at) const { return little_ ? byte(at) | byte(at + 1) << 8 : byte(at) << 8 | byte(at + 1); }
    uint32_t u32(size_t at) const {
        return little_ ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    }
    void set_little(bool little) { little_ = little; }

private:
    uint32_t byte(size_t at) const { return static_cast<uint8_t>(data_[at]); }
    const std::string& data_;
    bool little_ = true;
};

}  // namespace

int32_t exif_orientation(const std::string& payload) {
    if (payload.compare(0, TIFF_START, std::string("Exif\0\0", TIFF_START)) != 0) return 0;
    TiffReader tiff(payload);
    if (!tiff.has(TIFF_START, 8)) return 0;
    const std::string order = payload.substr(TIFF_START, 2);
    if (order != "II" && order != "MM") return 0;
    tiff.set_little(order == "II");
    if (tiff.u16(TIFF_START + 2) != 42) return 0;
    const size_t ifd = TIFF_START + tiff.u32(TIFF_START + 4);
    if (ifd < TIFF_START || !tiff.has(ifd, 2)) return 0;
    const uint32_t entries = tiff.u16(ifd);
    for (uint32_t i = 0; i < entries && tiff.has(ifd + 2 + ENTRY_BYTES * i, ENTRY_BYTES); ++i) {
        const size_t entry = ifd + 2 + ENTRY_BYTES * i;
        if (tiff.u16(entry) != ORIENTATION_TAG) continue;
        if (tiff.u16(entry + 2) != SHORT_TYPE || tiff.u32(entry + 4) != 1) return 0;
        const uint32_t value = tiff.u16(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<int32_t>(value) : 0;
    }
    return 0;
}
