// Loading the thumbnail view's images by file name: synchronously without a pool, in the
// background with the queue in drawing order, by loader threads kept between loads, cancelled within
// about a second, landing in the right image while the list changes under the loads, stored on the
// user-interface thread; metafiles as thumbnails; and files that cannot be read (cut, corrupt,
// missing, a folder) showing the wrong-image picture once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_input.h"
#include "tests/support/video_fixture.h"

namespace {

using mviewtest::MViewTest;

class MViewLoadTest : public MViewTest {
 protected:
  // How long loads may take to land: a deadline for a hang, not a speed limit (sanitized loads on a
  // machine busy with other builds take seconds).
  static constexpr int kLoadsLandMs = 60000;
  // Count BMP files, file i of blue value 10 + i.
  std::vector<std::string> Files(int Count, int W = 40, int H = 30) {
    std::vector<std::string> names;
    for (int i = 0; i < Count; ++i) {
      names.push_back(dir.File("f" + std::to_string(i) + ".bmp"));
      mviewtest::WriteFile(names.back(), mviewtest::SolidBmp(W, H, 0, 0, static_cast<uint8_t>(10 + i)));
    }
    return names;
  }
  void Name(TZodazUrMView* v, const std::vector<std::string>& Names) {
    v->LockPaint();
    for (size_t i = 0; i < Names.size(); ++i) {
      v->InsertImageNoSelect(static_cast<int32_t>(i));
      v->SetImageFileName(static_cast<int32_t>(i), Names[i]);
    }
    v->UnlockPaint();
    v->Deselect();
  }
  void PaintNow(TZodazUrMView* v) {
    v->Invalidate();
    UpdateWindow(v->Handle());
  }
  // The blue value of image i as stored (loads it when needed).
  static int Tag(TZodazUrMView* v, int i) {
    TIEBitmap b;
    v->GetImageBitmap(i, &b);
    return b.Width() > 0 ? b.GetPixelRGB(b.Width() / 2, b.Height() / 2).b : -1;
  }
  testsupport::ScratchDir dir;
};

TEST_F(MViewLoadTest, WithoutAPoolEveryLoadIsSynchronous) {
  TZodazUrMView* v = MakeView(500, 120);
  v->SetThreadPoolSize(0);
  Name(v, Files(3));
  PaintNow(v);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(v->IsImageLoaded(i)) << i;
  EXPECT_EQ(v->PendingLoadCount(), 0);
  EXPECT_EQ(v->RunningLoadCount(), 0);
  EXPECT_EQ(Tag(v, 2), 12);
}

TEST_F(MViewLoadTest, TheQueueKeepsDrawingOrder) {
  TZodazUrMView* v = MakeView(650, 120);
  v->SetThreadPoolSize(0);  // nothing starts: the queue stays as it is made
  Name(v, Files(6));
  EXPECT_TRUE(v->QueueImageLoad(3, 5));  // an empty list: at 0
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{3}));
  v->QueueImageLoad(1, -1);
  v->QueueImageLoad(2, -1);
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{3, 1, 2}));
  v->QueueImageLoad(4, 5);  // clamped to 2
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{3, 1, 4, 2}));
  v->QueueImageLoad(2, -1);  // already pending: stays
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{3, 1, 4, 2}));
  v->QueueImageLoad(2, 0);  // moved to the front
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{2, 3, 1, 4}));
  // A move of the list keeps the pending images, not their old places.
  v->MoveImage(2, 5);
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{5, 2, 1, 3}));
  v->DeleteImage(1);
  EXPECT_EQ(v->PendingLoads(), (std::vector<int32_t>{4, 1, 2}));
  v->CancelBackgroundLoads();
  EXPECT_EQ(v->PendingLoadCount(), 0);
  // Frames are always loaded synchronously.
  v->SetImageFileName(0, "x.gif::3");
  EXPECT_FALSE(v->QueueImageLoad(0, -1));
}

TEST_F(MViewLoadTest, BackgroundLoadsLandInTheirImagesWhileTheListChanges) {
  const std::vector<std::string> names = Files(24);
  for (int change = 0; change < 4; ++change) {
    TZodazUrMView* v = MakeView(650, 560);
    v->SetGridWidth(-1);
    v->SetThreadPoolSize(3);
    v->SetStoreType(ietThumb);
    std::vector<std::thread::id> storeThreads;
    v->AddBitmapChangeEvent([&](TObject*, bool d) {
      if (!d) storeThreads.push_back(std::this_thread::get_id());
    });
    Name(v, names);
    PaintNow(v);  // queues every visible image
    // The list changes while loads run.
    switch (change) {
      case 0: v->InsertImageNoSelect(0); break;
      case 1: v->MoveImage(0, 20); break;
      case 2: v->DeleteImage(3); break;
      case 3: v->ClearImages(); break;
    }
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
          PaintNow(v);
          return v->PendingLoadCount() == 0 && v->RunningLoadCount() == 0;
        },
        kLoadsLandMs));
    Application->ProcessMessages();
    // Every image shows its own file.
    for (int i = 0; i < v->ImageCount(); ++i) {
      const std::string n = v->GetImageFileName(i);
      if (n.empty()) continue;
      const int file = std::stoi(std::filesystem::path(n).stem().string().substr(1));
      EXPECT_EQ(Tag(v, i), 10 + file) << "change " << change << " image " << i;
    }
    for (std::thread::id t : storeThreads) EXPECT_EQ(t, std::this_thread::get_id());
    delete v;
  }
}

// A finished load repaints its own cell only; what the window shows in the end is the whole view,
// pixel for pixel, with nobody asking for a repaint of all of it.
TEST_F(MViewLoadTest, LoadsRepaintTheirCellsUntilTheWindowShowsTheWholeView) {
  TZodazUrMView* v = MakeView(440, 230);
  v->SetGridWidth(-1);
  v->SetThreadPoolSize(2);
  v->SetStoreType(ietThumb);
  v->SetThumbnailsBorderWidth(2);
  v->SetStyle(iemsFlat);
  int displayed = 0;
  v->OnAllDisplayed = [&](TObject*) { ++displayed; };
  Name(v, Files(8, 60, 40));
  for (int i = 0; i < 8; ++i) v->GetImageTopText(i)->SetCaption("file " + std::to_string(i));
  PaintNow(v);  // queues every image: none is loaded yet
  ASSERT_EQ(displayed, 0);
  ASSERT_TRUE(testsupport::WaitFor([&] { return displayed > 0; }, kLoadsLandMs));
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(v->IsImageLoaded(i)) << i;
  const int w = v->ClientWidth(), h = v->ClientHeight();
  TBitmap shown(w, h), whole(w, h);
  shown.SetPixelFormat(pf24bit);
  whole.SetPixelFormat(pf24bit);
  HDC dc = GetDC(v->Handle());
  BitBlt(shown.Canvas()->Handle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
  ReleaseDC(v->Handle(), dc);
  v->PaintTo(&whole);
  int differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (shown.Canvas()->Pixels(x, y) != whole.Canvas()->Pixels(x, y)) ++differ;
  EXPECT_EQ(differ, 0);
  // The thumbnails themselves are on the screen: the middle of cell i has file i's blue.
  for (int i = 0; i < 8; ++i) {
    const int x = v->GetImageX(i) + v->ThumbWidth() / 2, y = v->GetImageY(i) + v->ThumbHeight() / 2 + 6;
    EXPECT_EQ(GetBValue(ColorToRGB(shown.Canvas()->Pixels(x, y))), 10 + i) << i;
  }
}

TEST_F(MViewLoadTest, CancelReturnsWithinASecondEvenWhenALoadHangs) {
  const std::string fifo = dir.File("hangs.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TZodazUrMView* v = MakeView(300, 150);
  v->SetThreadPoolSize(2);
  Name(v, {fifo});
  EXPECT_TRUE(v->QueueImageLoad(0, -1));
  ASSERT_TRUE(testsupport::WaitFor([&] { return v->RunningLoadCount() == 1; }, 3000));
  const auto start = std::chrono::steady_clock::now();
  v->CancelBackgroundLoads();
  const auto took = std::chrono::steady_clock::now() - start;
  // The cancel gives up after about a second of short waits (a hang would never return); on a busy
  // machine each of those waits wakes late.
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  // Let the readers go (the format is looked for first, then the file is read): a writer opens and
  // closes the pipe whenever one waits, until the load has ended.
  ASSERT_TRUE(testsupport::WaitFor(
      [&] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
        v->CancelBackgroundLoads();
        return v->RunningLoadCount() == 0;
      },
      kLoadsLandMs));
}

TEST_F(MViewLoadTest, UnreadableFilesShowTheWrongImagePictureOnce) {
  const std::vector<uint8_t> bmp = mviewtest::SolidBmp(20, 20, 1, 2, 3);
  mviewtest::WriteFile(dir.File("cut.bmp"), std::vector<uint8_t>(bmp.begin(), bmp.begin() + 30));
  std::vector<uint8_t> corrupt = mviewtest::AnimatedGif(1, 4, 4, 0);
  corrupt.resize(corrupt.size() / 2);
  corrupt[6] = 0xFF;  // an absurd screen width
  corrupt[7] = 0xFF;
  mviewtest::WriteFile(dir.File("corrupt.gif"), corrupt);
  std::filesystem::create_directory(dir.File("folder.bmp"));
  const std::vector<std::string> names = {dir.File("cut.bmp"), dir.File("corrupt.gif"), dir.File("missing.png"),
                                          dir.File("folder.bmp")};
  for (bool handled : {false, true}) {
    TZodazUrMView* v = MakeView(500, 150);
    v->SetThreadPoolSize(0);
    int wrong = 0;
    if (handled)
      v->OnWrongImage = [&](TObject*, TIEBitmap* b, int32_t, bool& h) {
        ++wrong;
        b->Fill(static_cast<double>(clRed));
        h = true;
      };
    Name(v, names);
    for (int i = 0; i < 4; ++i) {
      EXPECT_FALSE(v->LoadImageNow(i)) << names[i];
      EXPECT_TRUE(v->IsImageLoaded(i)) << names[i];  // not loaded again
      TIEBitmap b;
      v->GetImageBitmap(i, &b);
      if (handled) {
        EXPECT_EQ(b.Width(), 100) << names[i];
        EXPECT_EQ(b.GetPixelRGB(5, 5).r, 255) << names[i];
      } else {
        EXPECT_EQ(b.Width(), 32) << names[i];  // the file's icon
      }
    }
    PaintNow(v);
    EXPECT_EQ(v->ImageCount(), 4);
    if (handled) { EXPECT_EQ(wrong, 4); }
    delete v;
  }
}

TEST_F(MViewLoadTest, RemoveCorruptedDropsThemDuringThePaint) {
  mviewtest::WriteFile(dir.File("bad.bmp"), {'B', 'M', 1, 2});
  std::vector<std::string> names = Files(3);
  names.insert(names.begin() + 1, dir.File("bad.bmp"));
  TZodazUrMView* v = MakeView(500, 150);
  v->SetThreadPoolSize(0);
  v->SetRemoveCorrupted(true);
  Name(v, names);
  PaintNow(v);
  EXPECT_EQ(v->ImageCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(v->IsImageLoaded(i)) << i;
  EXPECT_EQ(Tag(v, 1), 11);
}

TEST_F(MViewLoadTest, DestroyingTheViewMidLoad) {
  const std::vector<std::string> names = Files(20, 200, 150);
  for (int round = 0; round < 3; ++round) {
    TZodazUrMView* v = MakeView(650, 560);
    v->SetGridWidth(-1);
    v->SetThreadPoolSize(4);
    Name(v, names);
    PaintNow(v);
    delete v;
  }
  Application->ProcessMessages();
}

// The loader threads stay from one batch of loads to the next (none is started per load), never
// more than ThreadPoolSize of them and of loads running at once, also after the pool was made
// smaller; and the view does not wait for idle loaders to time out when it goes.
TEST_F(MViewLoadTest, LoaderThreadsStayForTheNextLoads) {
  const std::vector<std::string> names = Files(18);
  TZodazUrMView* v = MakeView(650, 560);
  v->SetGridWidth(-1);
  v->SetThreadPoolSize(3);
  v->SetStoreType(ietThumb);
  int32_t pool = 3, mostRunning = 0, mostThreads = 0;
  auto loadBatch = [&](int From, int To) {
    v->LockPaint();
    for (int i = From; i < To; ++i) {
      v->InsertImageNoSelect(i);
      v->SetImageFileName(i, names[static_cast<size_t>(i)]);
    }
    v->UnlockPaint();
    mostRunning = mostThreads = 0;
    return testsupport::WaitFor(
        [&] {
          PaintNow(v);
          mostRunning = std::max(mostRunning, v->RunningLoadCount());
          mostThreads = std::max(mostThreads, v->LoaderThreadCount());
          for (int i = From; i < To; ++i)
            if (!v->IsImageLoaded(i)) return false;
          return v->PendingLoadCount() == 0 && v->RunningLoadCount() == 0;
        },
        kLoadsLandMs);
  };
  ASSERT_TRUE(loadBatch(0, 6));
  EXPECT_LE(mostRunning, pool);
  EXPECT_LE(mostThreads, pool);
  EXPECT_GE(v->LoaderThreadCount(), 1);  // waiting for the next loads, not ended
  ASSERT_TRUE(loadBatch(6, 12));
  EXPECT_LE(mostThreads, pool);
  pool = 1;
  v->SetThreadPoolSize(pool);
  ASSERT_TRUE(loadBatch(12, 18));
  EXPECT_LE(mostRunning, pool);
  Application->ProcessMessages();
  for (int i = 0; i < 18; ++i) EXPECT_EQ(Tag(v, i), 10 + i) << i;
  // Idle loaders wait seconds for work; the view's end stops them at once.
  ASSERT_GE(v->LoaderThreadCount(), 1);
  const auto start = std::chrono::steady_clock::now();
  delete v;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
}

// Metafiles written by another program (tests/data/README.md) show as thumbnails drawn for the
// cell, from the background loaders and from the synchronous road: each shape where the picture
// has it, transparent where the picture paints nothing, also under an upper-case extension.
TEST_F(MViewLoadTest, MetafilesShowAsThumbnails) {
  const std::filesystem::path data = testsupport::DataDir() / "metafile";
  std::filesystem::copy_file(data / "rect_ellipse_triangle.emf", dir.File("upper.EMF"));
  const std::vector<std::string> names = {(data / "rect_ellipse_triangle.wmf").string(),
                                          (data / "rect_ellipse_triangle.emf").string(), dir.File("upper.EMF")};
  // Points of the 200 x 150 picture (its .svg) and their colours; alpha 0 where nothing is painted.
  struct Point {
    int x, y;
    uint8_t r, g, b, a;
  };
  const Point points[] = {{45, 35, 255, 0, 0, 255},    // the red rectangle
                          {140, 50, 0, 0, 255, 255},   // the blue ellipse
                          {100, 125, 0, 160, 0, 255},  // the green triangle
                          {192, 12, 0, 0, 0, 0}};      // nothing
  for (int32_t pool : {2, 0}) {
    SCOPED_TRACE(testing::Message() << "pool " << pool);
    TZodazUrMView* v = MakeView(500, 150);
    v->SetThreadPoolSize(pool);
    v->SetStoreType(ietThumb);
    Name(v, names);
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
          PaintNow(v);
          for (int i = 0; i < 3; ++i)
            if (!v->IsImageLoaded(i)) return false;
          return v->RunningLoadCount() == 0;
        },
        kLoadsLandMs));
    Application->ProcessMessages();
    TBitmap shown(v->ClientWidth(), v->ClientHeight());
    shown.SetPixelFormat(pf24bit);
    v->PaintTo(&shown);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(names[static_cast<size_t>(i)]);
      TIEBitmap b;
      v->GetImageBitmap(i, &b);
      // Drawn 100 wide (a file's page may be a unit off the picture's 4:3).
      ASSERT_EQ(b.Width(), 100);
      ASSERT_NEAR(b.Height(), 75, 1);
      ASSERT_TRUE(b.HasAlphaChannel());
      // Centred in its 100 x 100 cell.
      const int cellX = v->GetImageX(i), cellY = v->GetImageY(i) + (100 - b.Height()) / 2;
      for (const Point& p : points) {
        const int x = p.x / 2, y = p.y * b.Height() / 150;
        EXPECT_EQ(b.GetAlphaChannel()->GetPixel8(x, y), p.a) << p.x << "," << p.y;
        if (p.a == 0) continue;
        const TIERGB c = b.GetPixelRGB(x, y);
        EXPECT_EQ((std::array<int, 3>{c.r, c.g, c.b}), (std::array<int, 3>{p.r, p.g, p.b})) << p.x << "," << p.y;
        const TColor screen = ColorToRGB(shown.Canvas()->Pixels(cellX + x, cellY + y));
        EXPECT_EQ((std::array<int, 3>{GetRValue(screen), GetGValue(screen), GetBValue(screen)}),
                  (std::array<int, 3>{p.r, p.g, p.b}))
            << "on the screen at " << p.x << "," << p.y;
      }
    }
    delete v;
  }
}

// The frames of a video as the view's images: the file's frame count gives the images, each loads
// its own frame (by frame number in an AVI, by media time in an MP4) with the frame duration.
TEST_F(MViewLoadTest, VideoFramesByFrameName) {
  for (const char* container : {"avi", "mp4"}) {
    SCOPED_TRACE(container);
    testsupport::VideoSpec spec;
    spec.Container = container;
    spec.Codec = "mpeg4";
    spec.Frames = 6;
    spec.Gop = 4;
    const std::string name = dir.File(std::string("clip.") + container);
    ASSERT_EQ(testsupport::MakeVideo(name, spec), "");
    EXPECT_EQ(GetFileImageCount(name), 6);
    TZodazUrMView* v = MakeView(300, 200);
    v->SetThreadPoolSize(0);
    v->SetFramesFromFile(name);
    ASSERT_EQ(v->ImageCount(), 6);
    // Out of order, so that each frame is sought.
    for (int k : {3, 0, 5, 1, 4, 2}) {
      TIEBitmap b;
      v->GetImageBitmap(k, &b);
      ASSERT_EQ(b.Width(), spec.Width);
      b.ConvertPixelFormat(ie24RGB);
      std::vector<uint8_t> bottomUp;
      for (int y = b.Height() - 1; y >= 0; --y) {
        const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
        bottomUp.insert(bottomUp.end(), row, row + b.Width() * 3);
      }
      EXPECT_EQ(testsupport::FrameNumberOf(bottomUp.data(), b.Width(), b.Height(), b.Width() * 3), k) << "image " << k;
      EXPECT_EQ(v->GetImageDelayTime(k), 40) << "image " << k;
    }
    delete v;
  }
}

}  // namespace
