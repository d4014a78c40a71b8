#pragma once
// Colour tables of 8-bit framework bitmaps: a grey table, the test for one, and copying the table
// into an ie8p bitmap's palette.
class TBitmap;
class TIEBitmap;

// Gives an 8-bit framework bitmap the colour table (i, i, i) for i = 0..255; other bitmaps are
// left alone.
void SetGrayPaletteTBitmap(TBitmap* Bitmap);
// True when every entry i of the bitmap's colour table is (i, i, i) (for the entries it has).
bool IsGrayPaletteTBitmap(TBitmap* Bitmap);
// For an 8-bit framework bitmap and an ie8p Target: each colour-table entry into Target's palette.
void ReadPaletteFromTBitmap(TBitmap* Bitmap, TIEBitmap* Target);
