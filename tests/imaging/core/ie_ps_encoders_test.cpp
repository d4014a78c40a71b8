#include "imaging/core/ie_ps_encoders.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/core/ie_streams.h"
#include "platform/system/streams.h"

namespace {

std::string Encode85(const std::vector<uint8_t>& data, int32_t* column = nullptr) {
  std::string out(static_cast<size_t>(ASCII85EncodedSizeBound(static_cast<int64_t>(data.size()))), '\0');
  const uint8_t* src = data.data();
  char* dst = out.data();
  int32_t col = 0;
  const int32_t n = ASCII85Encode(src, static_cast<int32_t>(data.size()), dst, col);
  EXPECT_EQ(src, data.data() + data.size());
  EXPECT_EQ(dst, out.data() + n);
  if (column) *column = col;
  out.resize(static_cast<size_t>(n));
  return out;
}

// ASCII85Decode as the PostScript manual describes it, written apart from the encoder: white space
// ignored, "z" for four zeros, a final group of n characters giving n - 1 bytes.
std::vector<uint8_t> Decode85(const std::string& text) {
  std::vector<uint8_t> out;
  uint32_t digits[5];
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '~') break;
    if (c == '\r' || c == '\n' || c == ' ') continue;
    if (c == 'z' && n == 0) {
      out.insert(out.end(), 4, 0);
      continue;
    }
    digits[n++] = static_cast<uint32_t>(c - 33);
    if (n == 5) {
      uint64_t v = 0;
      for (uint32_t d : digits) v = v * 85 + d;
      for (int k = 3; k >= 0; --k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
      n = 0;
    }
  }
  if (n > 0) {
    for (int k = n; k < 5; ++k) digits[k] = 84;
    uint64_t v = 0;
    for (uint32_t d : digits) v = v * 85 + d;
    for (int k = 3; k > 4 - n; --k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  return out;
}

// RunLengthDecode: 0..127 copy n + 1 bytes, 129..255 repeat the next byte 257 - n times, 128 ends.
std::vector<uint8_t> DecodeRLE(const std::vector<uint8_t>& data, bool& ended) {
  std::vector<uint8_t> out;
  ended = false;
  for (size_t i = 0; i < data.size();) {
    const uint8_t h = data[i++];
    if (h == 128) {
      ended = i == data.size();
      break;
    }
    if (h < 128) {
      out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(i), data.begin() + static_cast<ptrdiff_t>(i + h + 1));
      i += h + 1u;
    } else {
      out.insert(out.end(), 257u - h, data[i++]);
    }
  }
  return out;
}

std::vector<uint8_t> EncodeRLE(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(static_cast<size_t>(RunLengthEncodedSizeBound(static_cast<int64_t>(data.size()))));
  out.resize(static_cast<size_t>(RunLengthEncode(data.data(), static_cast<int32_t>(data.size()), out.data())));
  return out;
}

TEST(PostScriptEncoders, ASCII85Groups) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string text;
  } cases[] = {
      {{0, 0, 0, 0}, "z"},
      {{0}, "!!"},
      {{0, 0}, "!!!"},
      {{'M', 'a', 'n', ' '}, "9jqo^"},  // the classic example: 0x4D616E20
      {{0xFF, 0xFF, 0xFF, 0xFF}, "s8W-!"},
  };
  for (const Case& c : cases) {
    char out[5] = {};
    const int32_t n = ASCII85EncodeGroup(c.bytes.data(), static_cast<int32_t>(c.bytes.size()), out);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.text);
  }
}

TEST(PostScriptEncoders, ASCII85LinesAndEnd) {
  EXPECT_EQ(Encode85({}), "~>\r\n");
  EXPECT_EQ(Encode85({'M', 'a', 'n', ' ', 0}), "9jqo^!!~>\r\n");
  // 16 groups of 5 characters: the break comes after the group that passes 74 (the fifteenth, 75).
  std::vector<uint8_t> data(64, 0x41);
  int32_t column = 0;
  const std::string text = Encode85(data, &column);
  EXPECT_EQ(text.find("\r\n"), 75u);
  EXPECT_EQ(text.size(), 80u + 2 + 4);
  EXPECT_EQ(column, 80);
  EXPECT_EQ(Decode85(text), data);
}

TEST(PostScriptEncoders, ASCII85RoundTripsThroughAnIndependentDecoder) {
  std::mt19937 random(7);
  for (size_t size : {1u, 2u, 3u, 4u, 5u, 299u, 1000u}) {
    std::vector<uint8_t> data(size);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random() % 3 == 0 ? 0 : random());
    const std::string text = Encode85(data);
    EXPECT_EQ(Decode85(text), data) << size;
    EXPECT_LE(static_cast<int64_t>(text.size()), ASCII85EncodedSizeBound(static_cast<int64_t>(size)));
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) {
      const size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
      EXPECT_LE(at - (start == std::string::npos ? 0 : start + 1), 79u);  // at most 75 + 4 before a break
    }
  }
}

TEST(PostScriptEncoders, RunLengthCases) {
  const uint8_t A = 'A', B = 'B', C = 'C';
  struct Case {
    std::vector<uint8_t> in, out;
  } cases[] = {
      {{A, A, A}, {254, A, 128}},
      {{A, B}, {1, A, B, 128}},
      {{A, B, C, C}, {2, A, B, C, 0, C, 128}},
      {{}, {128}},
      {{A}, {0, A, 128}},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeRLE(c.in), c.out);
  // Runs and literals end at 128 bytes.
  const std::vector<uint8_t> run(300, A);
  EXPECT_EQ(EncodeRLE(run), (std::vector<uint8_t>{129, A, 129, A, 213, A, 128}));
}

TEST(PostScriptEncoders, RunLengthRoundTripsThroughAnIndependentDecoder) {
  std::mt19937 random(3);
  for (size_t size : {1u, 2u, 127u, 128u, 129u, 1000u, 5000u}) {
    for (int alphabet : {2, 256}) {
      std::vector<uint8_t> data(size);
      for (uint8_t& b : data) b = static_cast<uint8_t>(random() % alphabet);
      const std::vector<uint8_t> encoded = EncodeRLE(data);
      bool ended = false;
      EXPECT_EQ(DecodeRLE(encoded, ended), data) << size << " " << alphabet;
      EXPECT_TRUE(ended);
    }
  }
  // The worst case (pairs split by literals) stays inside the bound.
  std::vector<uint8_t> worst;
  for (int i = 0; i < 200; ++i) worst.insert(worst.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
  worst.insert(worst.begin(), 255);
  EXPECT_LE(static_cast<int64_t>(EncodeRLE(worst).size()), RunLengthEncodedSizeBound(static_cast<int64_t>(worst.size())));
}

TEST(PostScriptEncoders, LinesEndInCRLF) {
  TMemoryStream s;
  StreamWriteLineCRLF(s, "%!PS");
  StreamWriteLineCRLF(s, "");
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size())), "%!PS\r\n\r\n");
}

}  // namespace
