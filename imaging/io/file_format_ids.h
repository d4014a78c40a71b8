#pragma once
// The numbers under which every file format is known: by the parameter record (FileType), the format
// registry and every load and save dispatch. Ids 22 and 23 are not assigned.
#include <cstdint>

using TIEFileFormatId = int32_t;

constexpr TIEFileFormatId fmtUnknown = 0;     // no format, or one not recognised
constexpr TIEFileFormatId fmtTIFF = 1;
constexpr TIEFileFormatId fmtGIF = 2;
constexpr TIEFileFormatId fmtJPEG = 3;
constexpr TIEFileFormatId fmtPCX = 4;
constexpr TIEFileFormatId fmtBMP = 5;          // Windows and OS/2 bitmap
constexpr TIEFileFormatId fmtICO = 6;
constexpr TIEFileFormatId fmtCUR = 7;
constexpr TIEFileFormatId fmtPNG = 8;
constexpr TIEFileFormatId fmtWMF = 9;
constexpr TIEFileFormatId fmtEMF = 10;
constexpr TIEFileFormatId fmtTGA = 11;
constexpr TIEFileFormatId fmtPXM = 12;         // PBM, PGM, PPM
constexpr TIEFileFormatId fmtJP2 = 13;         // JPEG 2000 file format
constexpr TIEFileFormatId fmtJ2K = 14;         // JPEG 2000 code stream
constexpr TIEFileFormatId fmtAVI = 15;         // handled by name and content, no registry row
constexpr TIEFileFormatId fmtWBMP = 16;
constexpr TIEFileFormatId fmtPS = 17;          // write only
constexpr TIEFileFormatId fmtPDF = 18;         // write only
constexpr TIEFileFormatId fmtDCX = 19;         // multipage PCX
constexpr TIEFileFormatId fmtRAW = 20;         // camera raw, read only
constexpr TIEFileFormatId fmtRawBitmap = 21;   // headerless pixel data
constexpr TIEFileFormatId fmtPSD = 24;
constexpr TIEFileFormatId fmtIEV = 25;         // vector objects
constexpr TIEFileFormatId fmtLYR = 26;         // layers
constexpr TIEFileFormatId fmtALL = 27;         // layers and objects
constexpr TIEFileFormatId fmtDICOM = 28;       // read only
constexpr TIEFileFormatId fmtHDP = 29;         // HD Photo
