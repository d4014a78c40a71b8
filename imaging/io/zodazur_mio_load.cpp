// The multi-frame loaders of TZodazUrMIO: every page or frame of one file into consecutive images
// of the attached view. They reach the view only through the multi-image view interface.
#include <algorithm>
#include <climits>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_file_utils.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_streams.h"
#include "imaging/core/ie_text_utils.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/media_frames.h"
#include "imaging/io/square_pixels.h"
#include "imaging/io/url_download.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/processing/ie_dib_export.h"
#include "platform/media/avi_file.h"
#include "platform/system/streams.h"

// How the page loop reads one multi-page format: the page count of the stream at its position, one
// page (the record's page indices already set; a format whose reader also counts updates Count) and
// the file type the records get.
struct TIEMIOPageFormat {
  int32_t (*Count)(TStream& Stream);
  void (*Read)(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
               std::unique_ptr<TIEMask>& Mask, int32_t& Count);
  TIEFileFormatId FileType;
  // Resolutions below 2 become the defaults and AutoAdjustDPI applies.
  bool AdjustDPI;
  // A failed page is kept and loading goes on when the component's ContinueOnError is set.
  bool MayContinue;
};

namespace {

const TIEMIOPageFormat kTIFFPages{
    CountTIFFStreamPages,
    [](TStream& S, TIEBitmap& B, TIOParamsVals& P, TIEProgressRecord& Pr, std::unique_ptr<TIEMask>& M, int32_t& N) {
      ReadTIFFStream(&B, S, N, &P, Pr, false, M, true, false, false);
    },
    fmtTIFF, true, true};

const TIEMIOPageFormat kICOPages{
    ICOImageCount,
    [](TStream& S, TIEBitmap& B, TIOParamsVals& P, TIEProgressRecord& Pr, std::unique_ptr<TIEMask>& M, int32_t&) {
      ReadICOStream(S, B, P, false, Pr, M, false);
    },
    fmtICO, false, false};

const TIEMIOPageFormat kDCXPages{
    CountDCXStreamPages,
    [](TStream& S, TIEBitmap& B, TIOParamsVals& P, TIEProgressRecord& Pr, std::unique_ptr<TIEMask>&, int32_t&) {
      ReadDCXStream(S, B, P, Pr, false);
    },
    fmtDCX, true, false};

const TIEMIOPageFormat kDICOMPages{
    DICOMFrameCount,
    [](TStream& S, TIEBitmap& B, TIOParamsVals& P, TIEProgressRecord& Pr, std::unique_ptr<TIEMask>&, int32_t&) {
      ReadDICOMStream(S, P, &B, Pr, false);
    },
    fmtDICOM, true, false};

// Holds the view's paint lock and, on every way out, refreshes (when asked), unlocks and finishes
// the component's work.
class TLoadScope {
 public:
  TLoadScope(TZodazUrMIO& MIO, TIEMultiViewLink& View) : mio_(MIO), view_(View) { view_.LockPaint(); }
  ~TLoadScope() {
    if (update_) mio_.UpdateView();
    view_.UnlockPaint();
    mio_.DoFinishWork();
  }
  void Update() { update_ = true; }

 private:
  TZodazUrMIO& mio_;
  TIEMultiViewLink& view_;
  bool update_ = false;
};

void ReportProgress(TZodazUrMIO& MIO, int32_t K, int32_t N) {
  if (MIO.OnProgress && N > 0) MIO.OnProgress(&MIO, static_cast<int32_t>(static_cast<int64_t>(K) * 100 / N));
}

void InstallMask(TIEBitmap& Bitmap, std::unique_ptr<TIEMask>& Mask) {
  if (!Mask) return;
  if (TIEBitmap* alpha = Bitmap.GetAlphaChannel()) alpha->CopyFromMask(Mask.get());
}

}  // namespace

int32_t TZodazUrMIO::InsertionPoint() const {
  const int32_t selected = view_->SelectedImage();
  const int32_t count = view_->ImageCount();
  return selected >= 0 && selected < count ? selected : count;
}

// ---------------------------------------------------------------------------------- dispatch

void TZodazUrMIO::LoadFromFile(const std::string& FileName) {
  if (IETrim(FileName).empty()) {
    aborting_ = true;
    return;
  }
  if (URLKindW(FileName) != 0) {
    LoadFromURL(FileName);
    return;
  }
  aborting_ = false;
  const std::string ext = GetFileExtLower(FileName, true);
  if (ext == ".gif") return LoadFromFileGIF(FileName);
  if (ext == ".tif" || ext == ".tiff" || ext == ".fax" || ext == ".g3f" || ext == ".g3n" || ext == ".xif")
    return LoadFromFileTIFF(FileName);
  if (ext == ".avi") return LoadFromFileAVI(FileName);
  if (ext == ".ico") return LoadFromFileICO(FileName);
  if (ext == ".dcx") return LoadFromFileDCX(FileName);
  if (ext == ".dicom" || ext == ".dcm" || ext == ".dic" || ext == ".v2") return LoadFromFileDICOM(FileName);
  if (view_ && IsReadableFileExtension(FileName)) {
    const int32_t at = InsertionPoint();
    view_->InsertImageNoSelect(at);
    view_->LoadImageFromFile(at, FileName, 0);
    return;
  }
  LoadFromMediaFile(FileName);
}

void TZodazUrMIO::LoadFileWith(const std::string& FileName, void (TZodazUrMIO::*Load)(TStream&)) {
  aborting_ = false;
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  struct TNameScope {
    std::string& name;
    ~TNameScope() { name.clear(); }
  } nameScope{CurrentFileName};
  CurrentFileName = FileName;
  (this->*Load)(file);
}

void TZodazUrMIO::LoadFromFileTIFF(const std::string& FileName) { LoadFileWith(FileName, &TZodazUrMIO::LoadFromStreamTIFF); }
void TZodazUrMIO::LoadFromFileGIF(const std::string& FileName) { LoadFileWith(FileName, &TZodazUrMIO::LoadFromStreamGIF); }
void TZodazUrMIO::LoadFromFileICO(const std::string& FileName) { LoadFileWith(FileName, &TZodazUrMIO::LoadFromStreamICO); }
void TZodazUrMIO::LoadFromFileDCX(const std::string& FileName) { LoadFileWith(FileName, &TZodazUrMIO::LoadFromStreamDCX); }
void TZodazUrMIO::LoadFromFileDICOM(const std::string& FileName) {
  LoadFileWith(FileName, &TZodazUrMIO::LoadFromStreamDICOM);
}

void TZodazUrMIO::LoadFromStreamTIFF(TStream& Stream) { LoadPages(Stream, kTIFFPages); }
void TZodazUrMIO::LoadFromStreamICO(TStream& Stream) { LoadPages(Stream, kICOPages); }
void TZodazUrMIO::LoadFromStreamDCX(TStream& Stream) { LoadPages(Stream, kDCXPages); }
void TZodazUrMIO::LoadFromStreamDICOM(TStream& Stream) { LoadPages(Stream, kDICOMPages); }


// ---------------------------------------------------------------------------------- page loop

void TZodazUrMIO::LoadPages(TStream& Stream, const TIEMIOPageFormat& Format) {
  if (!view_) return;
  const int64_t origin = Stream.Position();
  int32_t count = Format.Count(Stream);
  Stream.SetPosition(origin);
  const int32_t start = InsertionPoint();
  TLoadScope scope(*this, *view_);
  // Not the format, or no page in it: nothing is inserted.
  if (count <= 0) {
    aborting_ = true;
    return;
  }
  scope.Update();
  TIOParamsVals spare(nullptr);
  for (int32_t k = 0;; ++k) {
    const int32_t at = start + k;
    view_->InsertImageNoSelect(at);
    // The view's callback made the record; a view that does not call back still gets its pixels.
    TIOParamsVals* params = GetParams(at);
    if (!params) params = &spare;
    auto bitmap = std::make_unique<TIEBitmap>();
    Stream.SetPosition(origin);
    params->SetImageIndex(k);
    params->IsNativePixelFormat = NativePixelFormat;
    TIEProgressRecord progress;
    progress.Aborting = &aborting_;
    std::unique_ptr<TIEMask> mask;
    Format.Read(Stream, *bitmap, *params, progress, mask, count);
    if (!aborting_) InstallMask(*bitmap, mask);
    if (Format.AdjustDPI && !aborting_) {
      if (params->DpiX < 2) params->SetDpiX(DefaultDPIX);
      if (params->DpiY < 2) params->SetDpiY(DefaultDPIY);
      if (AutoAdjustDPI) bitmap = AdjustBitmapDPI(std::move(bitmap), *params, FilteredAdjustDPI);
    }
    params->SetImageIndex(at);
    params->FileType = Format.FileType;
    params->FileName = CurrentFileName;
    if (aborting_) {
      if (Format.MayContinue && ContinueOnError) {
        aborting_ = false;
      } else {
        view_->DeleteImage(at);
        break;
      }
    }
    view_->StoreImageBitmap(at, bitmap.get());
    view_->SetImageDelayTime(at, 100);
    ReportProgress(*this, k, count);
    if (aborting_ || k + 1 >= count) break;
  }
}

// ---------------------------------------------------------------------------------- GIF frames

void TZodazUrMIO::LoadFromStreamGIF(TStream& Stream) {
  if (!view_) return;
  // The frames are read from their places, their blocks in pieces of a few bytes: read ahead.
  TIEBufferedReadStream buffered(Stream, 65536, false);
  const int64_t origin = buffered.Position();
  const int32_t start = InsertionPoint();
  TLoadScope scope(*this, *view_);
  scope.Update();
  // The frames are composed on a 24-bit canvas; each image stored is a copy of it in the frame's
  // own format, so colours are never reduced twice.
  TIEBitmap composite;
  uint8_t previousAction = 0;
  TRect previous{0, 0, 0, 0};
  int32_t lastDelay = 100;
  TIOParamsVals spare(nullptr);
  int32_t count = 0;
  // One walk finds every frame; each read then starts at its frame.
  TGIFFrameIndex index;
  IndexGIFFrames(buffered, index);
  for (int32_t k = 0;; ++k) {
    const int32_t at = start + k;
    view_->InsertImageNoSelect(at);
    TIOParamsVals* params = GetParams(at);
    if (!params) params = &spare;
    TIEBitmap frame;
    buffered.SetPosition(origin);
    params->SetImageIndex(k);
    params->IsNativePixelFormat = NativePixelFormat;
    TIEProgressRecord progress;
    progress.Aborting = &aborting_;
    std::unique_ptr<TIEMask> mask;
    ReadGIFStream(buffered, frame, count, *params, progress, false, mask, false, &index);
    if (frame.Width() == 0 || frame.Height() == 0) aborting_ = true;
    const TIEPixelFormat frameFormat = frame.PixelFormat();
    const int32_t canvasW = std::max(params->GifWinWidth, frame.Width());
    const int32_t canvasH = std::max(params->GifWinHeight, frame.Height());
    TIEBitmap* stored = &frame;
    std::unique_ptr<TIEBitmap> adjusted;
    if (!aborting_) {
      InstallMask(frame, mask);
      if (count > 1) {
        const double background = static_cast<double>(RGBToTColor(params->GifBackground));
        if (previousAction == 2 && composite.Width() > 0 && previous.Width() > 0 && previous.Height() > 0) {
          composite.FillRect(previous.Left, previous.Top, previous.Right - 1, previous.Bottom - 1, background);
          composite.GetAlphaChannel()->FillRect(previous.Left, previous.Top, previous.Right - 1, previous.Bottom - 1,
                                                0);
        }
        if (composite.Width() == 0 || composite.Height() == 0) {
          composite.Allocate(canvasW, canvasH, ie24RGB);
          composite.Fill(background);
          composite.GetAlphaChannel()->Fill(0);
        } else if (composite.Width() < canvasW || composite.Height() < canvasH) {
          composite.Resize(std::max(composite.Width(), canvasW), std::max(composite.Height(), canvasH), background, 255,
                           0, 0);
        }
        const int32_t x = params->GifXPos, y = params->GifYPos, w = frame.Width(), h = frame.Height();
        frame.RenderToTIEBitmap(composite, x, y, w, h, 0, 0, w, h);
        frame.MergeAlphaRectTo(composite, 0, 0, x, y, w, h);
        composite.GetAlphaChannel()->SetFull(false);
        previous = TRect{x, y, x + w, y + h};
        previousAction = params->GifAction;
        params->GifAction = 2;
        params->GifXPos = 0;
        params->GifYPos = 0;
        stored = &composite;
      }
      if (AutoAdjustDPI) {
        adjusted = std::make_unique<TIEBitmap>();
        adjusted->Assign(*stored);
        adjusted = AdjustBitmapDPI(std::move(adjusted), *params, FilteredAdjustDPI);
        stored = adjusted.get();
      }
    }
    params->SetImageIndex(at);
    params->FileType = fmtGIF;
    params->FileName = CurrentFileName;
    if (aborting_ || count <= 0) {
      aborting_ = true;
      view_->DeleteImage(at);
      break;
    }
    if (stored->PixelFormat() != frameFormat) {
      TIEBitmap copy;
      copy.Assign(*stored);
      copy.ConvertPixelFormat(frameFormat);
      view_->StoreImageBitmap(at, &copy);
    } else {
      view_->StoreImageBitmap(at, stored);
    }
    view_->SetImageBackground(at, RGBToTColor(params->GifBackground));
    if (params->GifDelayTime >= 1) lastDelay = params->GifDelayTime * 10;
    view_->SetImageDelayTime(at, lastDelay);
    ReportProgress(*this, k, count);
    if (aborting_ || k + 1 >= count) break;
  }
  // The caller's stream where the reads left off, not where the read-ahead did.
  Stream.Seek(buffered.Position(), soBeginning);
}

// ---------------------------------------------------------------------------------- AVI frames

void TZodazUrMIO::LoadFromFileAVI(const std::string& FileName) {
  aborting_ = false;
  if (!view_) {
    DoFinishWork();
    return;
  }
  if (!AVIServicesStarted.exchange(true)) AVIFileInit();
  // Released on every way out, an exception too.
  struct THandles {
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PGETFRAME frames = nullptr;
    ~THandles() {
      if (frames) AVIStreamGetFrameClose(frames);
      if (stream) AVIStreamRelease(stream);
      if (file) AVIFileRelease(file);
    }
  };
  auto avi = std::make_unique<THandles>();
  PAVIFILE& file = avi->file;
  if (AVIFileOpen(&file, FileName, OF_READ | OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  PAVISTREAM& stream = avi->stream;
  PGETFRAME& frames = avi->frames;
  AVISTREAMINFOW info{};
  HRESULT r = AVIFileGetStream(file, &stream, streamtypeVIDEO, 0);
  if (r == AVIERR_OK) r = AVIStreamInfo(stream, &info, sizeof info);
  if (r == AVIERR_OK) {
    frames = AVIStreamGetFrameOpen(stream, nullptr);
    if (!frames) r = AVIERR_NOCOMPRESSOR;
  }
  if (r != AVIERR_OK) {
    // A file the AVI services open but cannot decode goes the media road.
    avi.reset();
    aborting_ = true;
    LoadFromMediaFile(FileName);
    return;
  }
  // Every way out from here unlocks the view and finishes the work.
  TLoadScope scope(*this, *view_);
  scope.Update();
  const int32_t count = AVIStreamLength(stream);
  // Milliseconds a frame: Trunc(1000 x scale / rate); 0 for a rate of 0.
  const int32_t ms = info.dwRate == 0 ? 0
                                      : static_cast<int32_t>(std::min<int64_t>(
                                            int64_t{1000} * info.dwScale / info.dwRate, INT32_MAX));
  const int32_t start = InsertionPoint();
  TIOParamsVals spare(nullptr);
  for (int32_t k = 0; k < count && !aborting_; ++k) {
    const void* dib = AVIStreamGetFrame(frames, k);
    if (!dib) {
      aborting_ = true;
      break;
    }
    TIEDibbitmap frame;
    const int32_t bits = DIBToDibbitmap(dib, frame, nullptr, true, PackedDIBSize(dib));
    if (bits == 0 || frame.Width() == 0) {
      aborting_ = true;
      break;
    }
    const int32_t at = start + k;
    view_->InsertImageNoSelect(at);
    view_->StoreImageBitmap(at, &frame);
    if (k == 0) view_->ReserveImageSpace(frame.Width(), frame.Height(), bits, count - 1);
    view_->SetImageDelayTime(at, ms);
    TIOParamsVals* params = GetParams(at);
    if (!params) params = &spare;
    params->GifDelayTime = ms;
    params->BitsPerSample = bits <= 8 ? bits : bits == 15 ? 5 : 8;
    params->SamplesPerPixel = bits <= 8 ? 1 : 3;
    params->SetImageIndex(at);
    params->SetDpiX(DefaultDPIX);
    params->SetDpiY(DefaultDPIY);
    params->Width = frame.Width();
    params->Height = frame.Height();
    params->FileName = FileName;
    params->FileType = fmtAVI;
    params->FreeColorMap();
    ReportProgress(*this, k, count);
  }
}

// ---------------------------------------------------------------------------------- media frames

void TZodazUrMIO::LoadFromMediaFile(const std::string& FileName) {
  aborting_ = false;
  if (!view_) {
    // Nothing to load into.
    aborting_ = true;
    DoFinishWork();
    return;
  }
  // Disconnected (threads joined, pending messages gone) before the view is unlocked.
  struct TGraph {
    TIEDirectShow ds;
    ~TGraph() { ds.Disconnect(); }
  };
  TIEBitmap work;
  TLoadScope scope(*this, *view_);
  TGraph graph;
  TIEDirectShow& ds = graph.ds;
  const TIEMediaFrames frames = OpenMediaFrames(ds, FileName);
  if (frames.Count <= 0) {
    aborting_ = true;
    return;
  }
  const int64_t d = frames.Duration, n = frames.Count;
  scope.Update();
  // Trunc(d / 10^7 / n x 1000) milliseconds, exactly.
  const int32_t ms = static_cast<int32_t>(std::min<int64_t>(d / (int64_t{10000} * n), INT32_MAX));
  const int32_t count = static_cast<int32_t>(n);
  const int32_t start = InsertionPoint();
  TIOParamsVals spare(nullptr);
  for (int32_t k = 0; k < count; ++k) {
    const int32_t at = start + k;
    view_->InsertImageNoSelect(at);
    TIOParamsVals* params = GetParams(at);
    if (!params) params = &spare;
    params->SetImageIndex(at);
    params->FileType = fmtUnknown;
    params->FileName = CurrentFileName.empty() ? FileName : CurrentFileName;
    params->IsNativePixelFormat = NativePixelFormat;
    ds.SetPosition(frames.Position(k));
    ds.GetCurrentFrame(&work, true);
    if (work.Width() == 0 || work.Height() == 0) {
      // No picture to be had (a source without a video stream the services decode).
      view_->DeleteImage(at);
      aborting_ = true;
      break;
    }
    view_->StoreImageBitmap(at, &work);
    view_->SetImageDelayTime(at, ms);
    if (k == 0) {
      const bool thumbs = view_->StoreType() == ietThumb;
      view_->ReserveImageSpace(thumbs ? view_->ThumbWidth() : work.Width(),
                               thumbs ? view_->ThumbHeight() : work.Height(), work.BitCount(), count - 1);
    }
    ReportProgress(*this, k, count);
    if (aborting_) break;
  }
}

// ---------------------------------------------------------------------------------- internet

namespace {

// The extension a temporary file gets: the letters and digits of the address's, eight at most.
std::string SafeExtension(const std::string& Extension) {
  std::string out;
  for (const char c : Extension) {
    if (out.size() == 8) break;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out += c;
  }
  return out;
}

}  // namespace

void TZodazUrMIO::LoadFromURL(const std::string& URL) {
  TMemoryStream data;
  std::string extension;
  aborting_ = false;
  const bool ran = DownloadURL(URL, data, ProxyAddress, extension, &aborting_, this, OnProgress, ProxyPassword,
                               ProxyUser);
  if (!ran || aborting_) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  struct TNameScope {
    std::string& name;
    ~TNameScope() { name.clear(); }
  } nameScope{CurrentFileName};
  CurrentFileName = URL;
  data.SetPosition(0);
  switch (DetectStreamFormat(data)) {
    case fmtTIFF: data.SetPosition(0); return LoadFromStreamTIFF(data);
    case fmtGIF: data.SetPosition(0); return LoadFromStreamGIF(data);
    case fmtICO: data.SetPosition(0); return LoadFromStreamICO(data);
    case fmtDCX: data.SetPosition(0); return LoadFromStreamDCX(data);
    case fmtDICOM: data.SetPosition(0); return LoadFromStreamDICOM(data);
    default: break;
  }
  // Other content goes through a file of its own, named so that the dispatch finds its loader.
  std::string temp = MakeTempFileName();
  const std::string ext = SafeExtension(extension);
  if (!ext.empty()) temp += "." + ext;
  struct TTempScope {
    std::string name;
    ~TTempScope() { DeleteFile(name); }
  } tempScope{temp};
  data.SaveToFile(temp);
  LoadFromFile(temp);
}
