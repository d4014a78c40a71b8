#pragma once
// The table of 146 user-interface words the engine's dialogs take their captions, labels and list
// entries from, in 21 languages (UTF-8). A component's MsgLanguage picks the language; msSystem
// picks it from the primary language of the thread locale. The engine's start-up fills the table
// and its shut-down empties it.
#include <cstdint>
#include <string>

#include "imaging/core/ie_defs.h"

// The word indexes.
enum TIEWord : uint8_t {
  iewPreview, iewOriginal, iewResult, iewOK, iewCancel, iewLockPreview, iewCopyResultToOriginal, iewContrast,
  iewBrightness, iewHue, iewSaturation, iewValue, iewBaseColor, iewNewColor, iewLuminosity, iewRed, iewGreen,
  iewBlue, iewFilterValues, iewPresets, iewDivisor, iewLoad, iewSave, iewEqualization, iewThreshold, iewEqualize,
  iewHistogram, iewGray, iewLight, iewLeft, iewTop, iewWidth, iewHeight, iewColor, iewOriginalImageQuantity,
  iewLens, iewRefraction, iewParametersPreview, iewQuality, iewDCTMethod, iewSmoothingFactor, iewGrayScale,
  iewOptimalHuffman, iewOriginalSize, iewCompressedSize, iewAdvanced, iewProgressive, iewCompression,
  iewImageIndex, iewPhotometric, iewScannedDocumentInfo, iewName, iewDescription, iewPageName, iewPageNumber,
  iewOf, iewHorizPositionInch, iewVertPositionInch, iewColors, iewTransparent, iewTransparentColor,
  iewInterlaced, iewBackground, iewHorizPosition, iewVertPosition, iewDelayTime, iewFilter, iewWave,
  iewAmplitude, iewWaveLength, iewPhase, iewReflective, iewUserFilter, iewMorphingFilters, iewWindowSize,
  iewMaximum, iewMinimum, iewOpening, iewClosing, iewRotate, iewFlip, iewHorizontal, iewVertical,
  iewFrequencyDomainImage, iewSelectTheRegionToClean, iewClear, iewReset, iewAnimate, iewLoadFilter,
  iewSaveFilter, iewBumpMap, iewPrint, iewMargins, iewInches, iewRight, iewBottom, iewPosition, iewSize,
  iewNormal, iewFitToPage, iewStretchToPage, iewSpecifiedSize, iewGammaCorrection, iewGammaValue, iewPrintSetup,
  iewLeftMargin, iewTopMargin, iewRightMargin, iewBottomMargin, iewLocationSize, iewTopLeft, iewTopCenter,
  iewTopRight, iewCenterLeft, iewCenter, iewCenterRight, iewBottomLeft, iewBottomCenter, iewBottomRight,
  iewClose, iewApply, iewMeasureUnits, iewUnits, iewRate, iewAllGraphics, iewVideoForWindows, iewFile, iewMem,
  iewAutoPreviewHint, iewPrintAll, iewPrintSelected, iewCommonGraphicFiles, iewAllFiles, iewHSV, iewHSL, iewRGB,
  iewFFT, iewSharpen, iewChannels, iewPixel, iewFrames, iewBit, iewByte, iewDpi, iewKB, iewFit,
};
constexpr int32_t kIEWordCount = 146;
constexpr int32_t kMsgLanguageCount = msUser + 1;

// Stores every language's words (msEnglish .. msHungarian); the start-up calls it once.
void FillLanguageWords();
// Empties the whole table (the shut-down).
void ClearLanguageWords();
// Stores Text as word Index of Language; an index outside 0..145 or a language outside
// TMsgLanguage is not stored.
void SetLanguageWord(int32_t Language, int32_t Index, const std::string& Text);
// The word in Language; a named language (and msUser) whose entry is empty gives the English word;
// msSystem takes the language of the thread locale's primary language (Chinese by its
// sub-language) and falls back to English the same way. An index outside 0..145 or a language
// outside TMsgLanguage reads as empty.
std::string GetLanguageWord(int32_t Index, int32_t Language);
// The language msSystem stands for under the current thread locale.
TMsgLanguage SystemMsgLanguage();
