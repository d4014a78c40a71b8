#pragma once
// The content probes of the two metafile kinds (format ids 10 and 9). Both leave the stream where
// they found it and compare zeros where a short stream has no bytes.
class TStream;

// An enhanced metafile: the header record's type 1 at offset 0 and the signature " EMF" at 40.
bool IsEMFStream(TStream& Stream);
// A Windows metafile, after an optional 22-byte placeable header (key 0x9AC6CDD7): the header's type
// 1, its size 9 words and a parameter count of 0.
bool IsWMFStream(TStream& Stream);
