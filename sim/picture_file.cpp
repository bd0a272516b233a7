#include "sim/picture_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/big_endian.h"

namespace sim {

namespace {

enum TiffType : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::vector<std::uint8_t> value;  // big-endian bytes of the whole value
};

Entry Short(std::uint16_t tag, std::initializer_list<std::uint16_t> values) {
    Entry e{tag, kShort, static_cast<std::uint32_t>(values.size()), {}};
    for (auto v : values) {
        e.value.push_back(static_cast<std::uint8_t>(v >> 8));
        e.value.push_back(static_cast<std::uint8_t>(v));
    }
    return e;
}
Entry Long(std::uint16_t tag, std::uint32_t v) {
    Entry e{tag, kLong, 1, std::vector<std::uint8_t>(4)};
    platform::PutBe32(e.value.data(), v);
    return e;
}
Entry Bytes(std::uint16_t tag, std::initializer_list<std::uint8_t> values) {
    return Entry{tag, kByte, static_cast<std::uint32_t>(values.size()), std::vector<std::uint8_t>(values)};
}
Entry Ascii(std::uint16_t tag, const std::string& s) {
    Entry e{tag, kAscii, static_cast<std::uint32_t>(s.size() + 1), std::vector<std::uint8_t>(s.begin(), s.end())};
    e.value.push_back(0);
    return e;
}
Entry Rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
    Entry e{tag, kRational, 1, std::vector<std::uint8_t>(8)};
    platform::PutBe32(e.value.data(), num);
    platform::PutBe32(e.value.data() + 4, den);
    return e;
}

std::size_t Even(std::size_t n) { return (n + 1) & ~std::size_t{1}; }

// Size of a directory with its out-of-line values.
std::size_t DirectorySize(const std::vector<Entry>& entries) {
    std::size_t size = 2 + 12 * entries.size() + 4;
    for (const auto& e : entries)
        if (e.value.size() > 4) size += Even(e.value.size());
    return size;
}

// Writes a directory at `at`, its out-of-line values right after it.
void WriteDirectory(std::vector<std::uint8_t>& file, std::size_t at, std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    std::uint8_t* p = file.data() + at;
    platform::PutBe16(p, static_cast<std::uint16_t>(entries.size()));
    std::size_t outOfLine = at + 2 + 12 * entries.size() + 4;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        std::uint8_t* q = p + 2 + 12 * i;
        platform::PutBe16(q, e.tag);
        platform::PutBe16(q + 2, e.type);
        platform::PutBe32(q + 4, e.count);
        if (e.value.size() <= 4) {
            std::memcpy(q + 8, e.value.data(), e.value.size());
        } else {
            platform::PutBe32(q + 8, static_cast<std::uint32_t>(outOfLine));
            std::memcpy(file.data() + outOfLine, e.value.data(), e.value.size());
            outOfLine += Even(e.value.size());
        }
    }
    platform::PutBe32(p + 2 + 12 * entries.size(), 0);  // no next directory
}

constexpr std::uint32_t kIfd0Offset = 8;
constexpr std::uint32_t kSensorBytes = static_cast<std::uint32_t>(kPackedRowBytes) * kSensorHeight;
constexpr std::uint32_t kThumbBytes = kThumbWidth * kThumbHeight * 3;

// The two directories; offsets of what follows them are filled in from the
// layout, whose sizes do not depend on those values.
std::vector<Entry> MainDirectory(const PictureFileLayout& l, std::uint32_t subIfdOffset) {
    return {Long(254, 1),  // reduced-resolution image
            Short(256, {kThumbWidth}),
            Short(257, {kThumbHeight}),
            Short(258, {8, 8, 8}),
            Short(259, {1}),
            Short(262, {2}),  // RGB
            Ascii(271, "VORNE"),
            Ascii(272, "M740"),
            Long(273, l.thumbnailOffset),
            Short(277, {3}),
            Short(278, {kThumbHeight}),
            Long(279, kThumbBytes),
            Short(284, {1}),
            Long(330, subIfdOffset)};
}

std::vector<Entry> SensorDirectory(const PictureFileLayout& l) {
    return {Long(254, 0),
            Long(256, kSensorWidth),
            Long(257, kSensorHeight),
            Short(258, {12}),
            Short(259, {1}),
            Short(262, {32803}),  // colour filter array
            Long(273, l.sensorDataOffset),
            Short(277, {1}),
            Long(278, kSensorHeight),
            Long(279, kSensorBytes),
            Rational(282, 300, 1),
            Rational(283, 300, 1),
            Short(284, {1}),
            Short(33421, {2, 2}),
            // Even rows R, G; odd rows G, B (0 red, 1 green, 2 blue).
            Bytes(33422, {0, 1, 1, 2})};
}

std::uint32_t SubIfdOffset() {
    PictureFileLayout dummy;
    return static_cast<std::uint32_t>(Even(kIfd0Offset + DirectorySize(MainDirectory(dummy, 0))));
}

std::uint8_t To8(std::uint16_t v) { return static_cast<std::uint8_t>(std::min<int>(v, 4095) >> 4); }

}  // namespace

PictureFileLayout PictureLayout() {
    PictureFileLayout l;
    const std::uint32_t sub = SubIfdOffset();
    l.sensorDataOffset = static_cast<std::uint32_t>(sub + DirectorySize(SensorDirectory(l)));
    l.thumbnailOffset = l.sensorDataOffset + kSensorBytes;
    l.totalSize = l.thumbnailOffset + kThumbBytes;
    l.firstPartSize = (l.sensorDataOffset + 8191u) & ~8191u;
    l.blockSize = 65536;
    return l;
}

void PackRow(const Picture& picture, int y, std::uint8_t* out) {
    std::uint16_t samples[kGroupsPerRow * 10] = {};  // the cells past the row's end stay 0
    picture.Row(0, y, kSensorWidth, samples);
    const std::uint16_t* s = samples;
    for (int g = 0; g < kGroupsPerRow; ++g, out += kPackedGroupBytes) {
        std::uint8_t* cell = out;
        for (int c = 0; c < 5; ++c, cell += 3, s += 2) {
            const unsigned a = s[0] & 0x0FFFu, b = s[1] & 0x0FFFu;
            cell[0] = static_cast<std::uint8_t>(a >> 4);
            cell[1] = static_cast<std::uint8_t>(((a & 15) << 4) | (b >> 8));
            cell[2] = static_cast<std::uint8_t>(b);
        }
        *cell = 0;  // the group's spare byte
    }
}

std::vector<std::uint8_t> RenderPictureFile(const Picture& picture) {
    const PictureFileLayout l = PictureLayout();
    std::vector<std::uint8_t> file(l.totalSize);
    file[0] = 'M';
    file[1] = 'M';
    platform::PutBe16(&file[2], 42);
    platform::PutBe32(&file[4], kIfd0Offset);
    const std::uint32_t sub = SubIfdOffset();
    WriteDirectory(file, kIfd0Offset, MainDirectory(l, sub));
    WriteDirectory(file, sub, SensorDirectory(l));
    for (int y = 0; y < kSensorHeight; ++y)
        PackRow(picture, y, file.data() + l.sensorDataOffset + static_cast<std::size_t>(y) * kPackedRowBytes);
    std::uint8_t* thumb = file.data() + l.thumbnailOffset;
    for (int ty = 0; ty < kThumbHeight; ++ty) {
        for (int tx = 0; tx < kThumbWidth; ++tx) {
            // One colour cell (R Gr / Gb B) per thumbnail pixel.
            const int x = (tx * kSensorWidth / kThumbWidth) & ~1;
            const int y = (ty * kSensorHeight / kThumbHeight) & ~1;
            *thumb++ = To8(picture.Sample(x, y));
            *thumb++ = To8(static_cast<std::uint16_t>((picture.Sample(x + 1, y) + picture.Sample(x, y + 1)) / 2));
            *thumb++ = To8(picture.Sample(x + 1, y + 1));
        }
    }
    return file;
}

std::optional<std::array<std::uint16_t, 16>> MeasureArea(const Picture& picture, int x, int y, int width,
                                                         int height) {
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > kSensorWidth || y + height > kSensorHeight)
        return std::nullopt;
    // Sums in integers: exact, as the sums of doubles they stand for are
    // for any area of the sensor.
    std::uint64_t sum[4] = {}, sumSq[4] = {};
    long count[4] = {};
    int lo[4] = {4095, 4095, 4095, 4095}, hi[4] = {};
    std::vector<std::uint16_t> row(static_cast<std::size_t>(width));
    for (int j = y; j < y + height; ++j) {
        picture.Row(x, j, width, row.data());
        // A row holds two channels, one per column parity.
        for (int parity = 0; parity < 2 && parity < width; ++parity) {
            const int c = static_cast<int>(ChannelAt(x + parity, j));
            std::uint64_t s = 0, sq = 0;
            int l = lo[c], h = hi[c];
            for (int i = parity; i < width; i += 2) {
                const unsigned v = row[static_cast<std::size_t>(i)];
                s += v;
                sq += v * v;
                l = std::min(l, static_cast<int>(v));
                h = std::max(h, static_cast<int>(v));
            }
            sum[c] += s;
            sumSq[c] += sq;
            count[c] += (width - parity + 1) / 2;
            lo[c] = l;
            hi[c] = h;
        }
    }
    std::array<std::uint16_t, 16> m{};
    for (int c = 0; c < 4; ++c) {
        if (count[c] == 0) {  // a one-pixel-wide area misses two channels
            lo[c] = 0;
            continue;
        }
        const double mean = static_cast<double>(sum[c]) / static_cast<double>(count[c]);
        const double var = std::max(0.0, static_cast<double>(sumSq[c]) / static_cast<double>(count[c]) - mean * mean);
        m[c] = static_cast<std::uint16_t>(std::min(65535.0, std::floor(mean * 10 + 0.5)));
        m[4 + c] = static_cast<std::uint16_t>(std::min(65535.0, std::floor(std::sqrt(var) * 10 + 0.5)));
    }
    for (int c = 0; c < 4; ++c) {
        m[8 + c] = static_cast<std::uint16_t>(lo[c]);
        m[12 + c] = static_cast<std::uint16_t>(hi[c]);
    }
    return m;
}

}  // namespace sim
