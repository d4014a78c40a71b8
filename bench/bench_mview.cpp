// The thumbnail view's loading and storing, timed as whole runs (one figure per run, not a loop):
//   bench_mview thumbs FOLDER POOL [DUMP]  every file of FOLDER (sorted by name) as a 100 x 100
//       ietThumb cell of a shown view that shows every cell, from SetImageFileName of all files to
//       OnAllDisplayed, with ThreadPoolSize POOL (JPEG files read at the smallest scale that covers
//       the cell with the fast DCT); with DUMP the first five thumbnails are written there as
//       <name>.bgr (B, G, R rows from the top) with their size in <name>.size; the processor time of
//       every thread of the process over the same span is printed beside the wall time;
//   bench_mview frames COUNT  COUNT frames of 1920 x 1080 appended with SetImage to a view set up
//       as the main window's frame list (210 x 120 cells, one column, soft shadow): per frame the
//       store, the first paint of a frame, a repeated paint, and the peak memory;
//   bench_mview inserts COUNT  COUNT images inserted without selection into a view with its
//       multi-image component attached: time and memory;
//   bench_mview shot PNG  a frame-list-like view painted to a PNG file, to look at.
// Timings are wall clock in milliseconds.
#include <QtWidgets/QApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_startup.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor time of the whole process (every thread), user and system, in milliseconds.
double ProcessorMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

long PeakMemoryMB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

TForm* ShownForm(int w, int h) {
  auto* form = new TForm(nullptr);
  form->SetBounds(0, 0, w + 40, h + 40);
  form->Show();
  return form;
}

int Thumbs(const std::string& folder, int pool, const char* dump) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  const int n = static_cast<int>(files.size());
  const int columns = 40, rows = (n + columns - 1) / columns;
  const int w = 4 + columns * 104, h = 4 + rows * 104;
  TForm* form = ShownForm(w, h);
  auto* v = new TZodazUrMView(form);
  v->SetParent(form);
  v->SetBorderStyle(bsNone);
  v->SetScrollBars(ssNone);
  v->SetBounds(0, 0, w, h);
  v->SetGridWidth(columns);
  v->SetStoreType(ietThumb);
  v->SetThreadPoolSize(pool);
  bool all = false;
  v->OnAllDisplayed = [&](TObject*) { all = true; };
  Application->ProcessMessages();
  all = false;  // an empty view is all displayed at its first paint
  const double t0 = NowMs(), c0 = ProcessorMs();
  v->LockPaint();
  for (int i = 0; i < n; ++i) {
    v->InsertImageNoSelect(i);
    v->SetImageFileName(i, files[static_cast<size_t>(i)]);
  }
  v->UnlockPaint();
  // The view repaints what its loads change by itself; the loop only lets the events run.
  while (!all) {
    Application->ProcessMessages();
    if (!all) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  const double t = NowMs() - t0, c = ProcessorMs() - c0;
  std::printf("thumbs %d files pool %d: %.1f ms, %.2f ms per file, processor %.1f ms, peak %ld MB\n", n, pool, t,
              t / n, c, PeakMemoryMB());
  if (dump) {
    for (int i = 0; i < std::min(n, 5); ++i) {
      TIEBitmap b;
      v->GetImageBitmap(i, &b);
      b.ConvertPixelFormat(ie24RGB);
      const std::string stem = std::string(dump) + "/" + std::filesystem::path(files[static_cast<size_t>(i)]).stem().string();
      FILE* f = std::fopen((stem + ".bgr").c_str(), "wb");
      for (int y = 0; y < b.Height(); ++y) std::fwrite(b.GetRow(y), 1, 3 * static_cast<size_t>(b.Width()), f);
      std::fclose(f);
      f = std::fopen((stem + ".size").c_str(), "w");
      std::fprintf(f, "%d %d\n", b.Width(), b.Height());
      std::fclose(f);
    }
  }
  delete form;
  return 0;
}

int Frames(int count) {
  TForm* form = ShownForm(240, 600);
  auto* v = new TZodazUrMView(form);
  v->SetParent(form);
  v->SetBounds(0, 0, 240, 600);
  v->SetThumbWidth(210);
  v->SetThumbHeight(120);
  v->SetGridWidth(1);
  v->SoftShadow().Enabled = true;
  Application->ProcessMessages();
  TBitmap frame(1920, 1080);
  frame.SetPixelFormat(pf24bit);
  double store = 0, first = 0, again = 0;
  for (int i = 0; i < count; ++i) {
    frame.Canvas()->Brush()->SetColor(static_cast<TColor>(0x010203 * (i % 80)));
    frame.Canvas()->FillRect(TRect{0, 0, 1920, 1080});
    double t = NowMs();
    const int at = v->AppendImage();
    v->SetImage(at, &frame);
    store += NowMs() - t;
    v->SetViewY(v->GetImageY(at));  // the new frame in view, as the frame list shows it
    t = NowMs();
    v->Invalidate();
    UpdateWindow(v->Handle());
    first += NowMs() - t;
    t = NowMs();
    v->Invalidate();
    UpdateWindow(v->Handle());
    again += NowMs() - t;
  }
  std::printf("frames %d: store %.2f ms, first paint %.2f ms, repeated paint %.2f ms per frame, peak %ld MB\n", count,
              store / count, first / count, again / count, PeakMemoryMB());
  delete form;
  return 0;
}

int Inserts(int count) {
  TForm* form = ShownForm(400, 300);
  auto* v = new TZodazUrMView(form);
  v->SetParent(form);
  v->SetBounds(0, 0, 400, 300);
  v->GetMIO();
  Application->ProcessMessages();
  const long before = PeakMemoryMB();
  const double t0 = NowMs();
  for (int i = 0; i < count; ++i) v->InsertImageNoSelect(i);
  const double t = NowMs() - t0;
  std::printf("inserts %d: %.1f ms (%.3f ms each), %d records, peak %ld MB (was %ld)\n", count, t, t / count,
              v->GetMIO()->ParamsCount(), PeakMemoryMB(), before);
  delete form;
  return 0;
}

// A picture of a frame-list-like view for the eye: 210 x 120 cells in one column with soft shadows,
// captions, the second frame selected, painted through PaintTo and written as a PNG file.
int Shot(const std::string& out) {
  TForm* form = ShownForm(240, 420);
  auto* v = new TZodazUrMView(form);
  v->SetParent(form);
  v->SetBounds(0, 0, 240, 420);
  v->SetThumbWidth(210);
  v->SetThumbHeight(120);
  v->SetGridWidth(1);
  v->SoftShadow().Enabled = true;
  Application->ProcessMessages();
  const TColor colours[3] = {static_cast<TColor>(0x3060C0), static_cast<TColor>(0x40A040),
                             static_cast<TColor>(0xC07020)};
  for (int i = 0; i < 3; ++i) {
    TBitmap frame(640, 360);
    frame.SetPixelFormat(pf24bit);
    TCanvas* c = frame.Canvas();
    c->Brush()->SetColor(colours[i]);
    c->FillRect(TRect{0, 0, 640, 360});
    c->Brush()->SetColor(clWhite);
    c->Ellipse(200 + 60 * i, 90, 440 + 60 * i, 300);
    const int at = v->AppendImage();
    v->SetImage(at, &frame);
    v->GetImageBottomText(at)->SetCaption("Frame " + std::to_string(i + 1) + " - 00:00:0" + std::to_string(2 * i));
  }
  v->SelectImage(1);
  TBitmap shot(v->ClientWidth(), v->ClientHeight());
  shot.SetPixelFormat(pf24bit);
  v->PaintTo(&shot);
  TIEBitmap picture;
  picture.Assign(shot);
  TZodazUrIO io(nullptr);
  io.SetAttachedIEBitmap(&picture);
  io.SaveToFilePNG(out);
  std::printf("shot %s: %d x %d\n", out.c_str(), picture.Width(), picture.Height());
  delete form;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Application->Initialize();
  InitializeImagingUnits();
  int rc = 1;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "thumbs" && argc > 3) rc = Thumbs(argv[2], std::atoi(argv[3]), argc > 4 ? argv[4] : nullptr);
  else if (mode == "frames") rc = Frames(argc > 2 ? std::atoi(argv[2]) : 500);
  else if (mode == "inserts") rc = Inserts(argc > 2 ? std::atoi(argv[2]) : 100000);
  else if (mode == "shot" && argc > 2) rc = Shot(argv[2]);
  else std::fprintf(stderr, "usage: bench_mview thumbs FOLDER POOL [DUMP] | frames [COUNT] | inserts [COUNT] | shot PNG\n");
  FinalizeImagingUnits();
  return rc;
}
