#include "pictures/pictures_startup.h"

#include <gtest/gtest.h>

#include "pictures/png_chunk.h"
#include "platform/gdi/picture.h"

TEST(PicturesStartup, NestedCallsDoNothing) {
  // The test program's environment has started the picture classes once, as the program does.
  EXPECT_EQ(RegisteredChunkCount(), 10);
  InitializePictures();
  EXPECT_EQ(RegisteredChunkCount(), 10);
  FinalizePictures();
  EXPECT_EQ(RegisteredChunkCount(), 10);
  EXPECT_EQ(TPicture::GraphicExtension("TPNGObject"), "png");
  for (const char* name : {"IEND", "IHDR", "IDAT", "PLTE", "gAMA", "tRNS", "pHYs", "tIME", "tEXt", "zTXt"})
    EXPECT_NE(ChunkFactory(name), nullptr) << name;
  EXPECT_EQ(ChunkFactory("cHRM"), nullptr);
}
