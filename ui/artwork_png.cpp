#include "ui/artwork_png.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChannels = 4;  // RGBA, a byte each
// The program's pictures are at most the window's size; anything far larger
// is damage.
constexpr uint64_t kMaxPixels = 4096u * 4096u;

uint32_t BigEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

uint8_t Paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) {
        return static_cast<uint8_t>(left);
    }
    return static_cast<uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes the filter of one row in place; above is the row before it (zeros
// above the first). False for an unknown filter.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* above, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const int left = i >= kChannels ? row[i - kChannels] : 0;
        const int upLeft = i >= kChannels ? above[i - kChannels] : 0;
        switch (filter) {
            case 0:
                return true;
            case 1:
                row[i] = static_cast<uint8_t>(row[i] + left);
                break;
            case 2:
                row[i] = static_cast<uint8_t>(row[i] + above[i]);
                break;
            case 3:
                row[i] = static_cast<uint8_t>(row[i] + (left + above[i]) / 2);
                break;
            case 4:
                row[i] = static_cast<uint8_t>(row[i] + Paeth(left, above[i], upLeft));
                break;
            default:
                return false;
        }
    }
    return true;
}

// An inflate stream that ends with its owner.
class Inflater {
  public:
    Inflater() { open_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (open_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool open() const { return open_; }
    z_stream& stream() { return stream_; }

  private:
    z_stream stream_ = {};
    bool open_ = false;
};

// The image data of one picture: inflated and unfiltered row by row into
// its pixels.
class RowDecoder {
  public:
    RowDecoder(uint32_t width, uint32_t height, ArgbPixels& picture)
        : width_(width),
          height_(height),
          rowBytes_(1 + static_cast<size_t>(width) * kChannels),
          current_(rowBytes_),
          above_(rowBytes_),
          picture_(picture) {
        picture_.width = static_cast<int>(width);
        picture_.height = static_cast<int>(height);
        picture_.pixels.assign(static_cast<size_t>(width) * height, 0);
    }

    bool open() const { return inflater_.open(); }
    bool complete() const { return ended_ && rows_ == height_; }

    // Feeds the bytes of one IDAT chunk. False on damage, or data past the
    // last row.
    bool Feed(const uint8_t* data, size_t size) {
        if (size > 0 && ended_) {
            return false;
        }
        z_stream& stream = inflater_.stream();
        stream.next_in = const_cast<Bytef*>(data);
        stream.avail_in = static_cast<uInt>(size);
        while (stream.avail_in > 0 && !ended_) {
            stream.next_out = current_.data() + filled_;
            stream.avail_out = static_cast<uInt>(rowBytes_ - filled_);
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                return false;
            }
            filled_ = rowBytes_ - stream.avail_out;
            if (filled_ == rowBytes_ && !TakeRow()) {
                return false;
            }
            ended_ = result == Z_STREAM_END;
        }
        return stream.avail_in == 0;
    }

  private:
    bool TakeRow() {
        if (rows_ == height_ ||
            !Unfilter(current_[0], current_.data() + 1, above_.data() + 1, rowBytes_ - 1)) {
            return false;
        }
        uint32_t* out = picture_.pixels.data() + static_cast<size_t>(rows_) * width_;
        const uint8_t* in = current_.data() + 1;
        for (uint32_t x = 0; x < width_; ++x, in += kChannels) {
            out[x] = static_cast<uint32_t>(in[3]) << 24 | static_cast<uint32_t>(in[0]) << 16 |
                     static_cast<uint32_t>(in[1]) << 8 | in[2];
        }
        std::swap(current_, above_);
        filled_ = 0;
        ++rows_;
        return true;
    }

    const uint32_t width_;
    const uint32_t height_;
    const size_t rowBytes_;  // the filter byte and the row's samples
    std::vector<uint8_t> current_;
    std::vector<uint8_t> above_;
    ArgbPixels& picture_;
    Inflater inflater_;
    size_t filled_ = 0;
    uint32_t rows_ = 0;
    bool ended_ = false;
};

}  // namespace

bool DecodeArtworkPng(const uint8_t* bytes, size_t size, ArgbPixels& out) {
    if (size < sizeof(kSignature) || std::memcmp(bytes, kSignature, sizeof(kSignature)) != 0) {
        return false;
    }
    ArgbPixels picture;
    std::unique_ptr<RowDecoder> rows;
    size_t offset = sizeof(kSignature);
    // Each chunk: length, type, data, CRC (zlib's own check covers the data).
    while (size - offset >= 12) {
        const uint32_t length = BigEndian32(bytes + offset);
        if (length > size - offset - 12) {
            return false;
        }
        const uint8_t* type = bytes + offset + 4;
        const uint8_t* data = bytes + offset + 8;
        offset += 12 + static_cast<size_t>(length);
        if (std::memcmp(type, "IHDR", 4) == 0) {
            // 8 bits a sample, RGBA, deflate, adaptive filters, no interlace.
            const uint8_t kForm[5] = {8, 6, 0, 0, 0};
            if (rows || length != 13 || std::memcmp(data + 8, kForm, sizeof(kForm)) != 0) {
                return false;
            }
            const uint32_t width = BigEndian32(data);
            const uint32_t height = BigEndian32(data + 4);
            if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > kMaxPixels) {
                return false;
            }
            rows = std::make_unique<RowDecoder>(width, height, picture);
            if (!rows->open()) {
                return false;
            }
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!rows || !rows->Feed(data, length)) {
                return false;
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
    }
    if (!rows || !rows->complete()) {
        return false;
    }
    rows.reset();
    out = std::move(picture);
    return true;
}
