#pragma once
// The two data encoders of the PostScript and PDF writers: ASCII85 (ASCII85Decode) and the
// PostScript run-length form (RunLengthDecode).
#include <cstdint>

// Encodes Count (1..4) bytes of Src, taken as the high bytes of a big-endian 32-bit value (missing
// bytes 0): "z" for four zero bytes, else the first Count + 1 of the value's five base-85 digits,
// most significant first, each as digit + 33. Returns the characters written (at most 5).
int32_t ASCII85EncodeGroup(const uint8_t* Src, int32_t Count, char* Dst);

// Encodes Count bytes in groups of 4 (the last one shorter). After each group its characters are
// added to Column and to a line counter of this call; when the line counter passes 74, CR LF is
// written and it restarts. Ends with "~>" CR LF. Src and Dst advance past what was read and
// written; returns the characters written, line ends and the final four included. Dst must hold
// ASCII85EncodedSizeBound(Count) characters.
int32_t ASCII85Encode(const uint8_t*& Src, int32_t Count, char*& Dst, int32_t& Column);
// Characters ASCII85Encode may write for Count bytes.
int64_t ASCII85EncodedSizeBound(int64_t Count);

// The PostScript run-length form of Length bytes: a run of 2..128 equal bytes as the header
// 257 - n and the byte; other bytes as literal runs (each byte differing from the one before it,
// at most 128) with the header n - 1 and the n bytes; then the end byte 128. Returns the encoded
// length, the end byte included. Dst must hold RunLengthEncodedSizeBound(Length) bytes.
int32_t RunLengthEncode(const uint8_t* Src, int32_t Length, uint8_t* Dst);
// Bytes RunLengthEncode may write for Length bytes.
int64_t RunLengthEncodedSizeBound(int64_t Length);
