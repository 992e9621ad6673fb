#include "tests/support/png_file.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Deflate's length and distance codes (RFC 1951, 3.2.5).
constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr int kWindow = 32768;
constexpr int kMaxMatch = 258;
constexpr int kMinMatch = 3;

class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {  // least significant bit first
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, int length) {  // Huffman codes go most significant bit first
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  Bytes Finish() {
    if (used_ > 0) out_.push_back(current_);
    return std::move(out_);
  }

 private:
  void Bit(std::uint32_t bit) {
    current_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) {
      out_.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }
  Bytes out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

void Literal(BitWriter& w, int value) {
  if (value < 144) {
    w.Code(0x30 + value, 8);
  } else if (value < 256) {
    w.Code(0x190 + value - 144, 9);
  } else if (value < 280) {
    w.Code(value - 256, 7);
  } else {
    w.Code(0xC0 + value - 280, 8);
  }
}

void Match(BitWriter& w, int length, int distance) {
  int l = 0;
  while (l + 1 < static_cast<int>(kLengthBase.size()) && kLengthBase[l + 1] <= length) ++l;
  Literal(w, 257 + l);
  w.Bits(length - kLengthBase[l], kLengthExtra[l]);
  int d = 0;
  while (d + 1 < static_cast<int>(kDistanceBase.size()) && kDistanceBase[d + 1] <= distance) ++d;
  w.Code(d, 5);
  w.Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
}

// One block with the fixed codes; the candidates for a repeat are the last
// place its first three bytes were seen, the pixel before and the row above.
Bytes Deflate(const Bytes& data, int rowBytes) {
  BitWriter w;
  w.Bits(1, 1);  // the last block
  w.Bits(1, 2);  // fixed codes
  std::vector<int> head(1 << 16, -1);
  auto hash = [&](std::size_t i) { return ((data[i] << 8) ^ (data[i + 1] << 4) ^ data[i + 2]) & 0xFFFF; };
  const int size = static_cast<int>(data.size());
  int i = 0;
  while (i < size) {
    int bestLength = 0, bestDistance = 0;
    if (i + kMinMatch <= size) {
      const int h = hash(i);
      for (int candidate : {head[h], i - 4, i - rowBytes}) {
        if (candidate < 0 || candidate >= i || i - candidate > kWindow) continue;
        int length = 0;
        while (length < kMaxMatch && i + length < size && data[candidate + length] == data[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = i - candidate;
        }
      }
      head[h] = i;
    }
    if (bestLength >= kMinMatch) {
      Match(w, bestLength, bestDistance);
      for (int k = 1; k < bestLength && i + k + kMinMatch <= size; ++k) head[hash(i + k)] = i + k;
      i += bestLength;
    } else {
      Literal(w, data[i]);
      ++i;
    }
  }
  Literal(w, 256);  // end of block
  return w.Finish();
}

std::uint32_t Crc32(const Bytes& data, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void Put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Chunk(Bytes& out, const char* type, const Bytes& body) {
  Put32(out, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  Put32(out, Crc32(out, start));
}

}  // namespace

bool SavePng(const TBitmap& bitmap, const std::filesystem::path& file) {
  const int rowBytes = 1 + 4 * bitmap.Width();
  Bytes raw;
  raw.reserve(static_cast<std::size_t>(rowBytes) * bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint32_t p = bitmap.Pixel(x, y);
      for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<std::uint8_t>(p >> shift));
    }
  }
  Bytes zlib = {0x78, 0x01};
  const Bytes deflated = Deflate(raw, rowBytes);
  zlib.insert(zlib.end(), deflated.begin(), deflated.end());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(zlib, (b << 16) | a);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32(header, static_cast<std::uint32_t>(bitmap.Width()));
  Put32(header, static_cast<std::uint32_t>(bitmap.Height()));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}
