#pragma once
// TZodazUrIO: the non-visual component through which the program loads, saves and acquires images.
// It always works on one working bitmap and one parameter record (Params). The working bitmap is the
// component's own, the current bitmap of an attached image view, the picture bitmap of an attached
// picture control (wrapped), or a bitmap a caller hands over.
//
// This file holds the component itself: attachment, the checks and updates around every load and
// save, progress and finish notifications, resolution handling, acquisition callbacks, the
// save-parameters dialog and the asynchronous machinery (io_threads.h). The per-format loaders and
// savers and the dispatch by name, stream and content are added to this class by the codecs.
//
// Threads. Loads and saves run on the caller's thread, or, with Asynchronous set and a working bitmap
// that is not the component's own, on the component's I/O worker thread. Calls on one component never
// overlap: the worker runs the queued calls one after the other in the order they were made, and a
// call made outside it first waits for the asynchronous work still queued or running. From an I/O thread the notifications never touch an
// attached view directly: they post IEM_PROGRESS, IEM_FINISHWORK and IEM_UPDATE to its window
// (creating the window first through a synchronised call to the user-interface thread).
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_progress.h"
#include "imaging/io/format_registry.h"
#include "imaging/core/ie_view_link.h"
#include "imaging/io/io_params.h"
#include "imaging/io/media_frames.h"
#include "platform/media/avi_file.h"
#include "platform/system/classes.h"
#include "platform/system/sync_objs.h"
#include "platform/system/threads.h"
#include "platform/ui/messages.h"

class TBitmap;
class TFont;
class TIEBitmap;
class TIEDirectShow;
class TIEIOThread;
class TIETWainParams;
class TIEWia;
class TIOPrintPreviewParams;
class TImage;
class TMetafile;
class TStream;

// Private window messages of the image views (posted by the I/O component and the media objects).
constexpr uint32_t IEM_UPDATE = 8024;      // refresh the view after its image changed (WParam 0)
constexpr uint32_t IEM_NEWFRAME = 8025;    // a new media frame (LParam: the media object)
constexpr uint32_t IEM_DSHOWEVENT = 8026;  // a media graph event (LParam: the media object)
constexpr uint32_t IEM_PROGRESS = 8027;    // fire the view's progress event, WParam = percent
constexpr uint32_t IEM_FINISHWORK = 8028;  // fire the view's finish event (WParam 0)

enum TIEDialogsMeasureUnit : uint8_t { ieduInches, ieduCm, ieduSelectableDefInches, ieduSelectableDefCm };

// Options of the save-parameters dialog (a set).
using TIOPreviewsParams = uint8_t;
constexpr TIOPreviewsParams ioppDefaultLockPreview = 1;
constexpr TIOPreviewsParams ioppApplyButton = 2;

using TIEIOPreviewEvent = std::function<void(TObject* Sender, TObject* PreviewForm)>;
using TIEAcquireBitmapEvent = std::function<void(TObject* Sender, TIEBitmap* ABitmap, bool& Handled)>;
using TIEDoPreviewsEvent = std::function<void(TObject* Sender, bool& Handled)>;

class TZodazUrIO;
// Shows the save-parameters dialog for a component and answers True when it was closed with OK. The
// dialogs install it at start-up; without it DoPreviews shows nothing and answers False. It creates the
// form with the component as owner and takes from the component the lock-preview and Apply-button
// options (PreviewsParams), Params as the edited record, SimplifiedParamsDialogs, BWConversion,
// MsgLanguage and PreviewFont; it shows IEBitmap without copying it and, when the form accepts
// Pages, fires OnIOPreview before showing it modally. DoPreviews has made the working bitmap 24-bit
// (or left it 1-bit) before, and runs UpdateAttached after.
using TIEPreviewsDialogFunc = bool (*)(TZodazUrIO& IO, TIOPreviewPages Pages);
extern TIEPreviewsDialogFunc IOPreviewsDialog;

class TZodazUrIO : public TComponent {
 public:
  explicit TZodazUrIO(TComponent* Owner);
  // A component without owner working on Bitmap (not owned).
  static std::unique_ptr<TZodazUrIO> CreateFromBitmap(TIEBitmap* Bitmap);
  // Waits for the queued calls (without asking them to stop) and joins the I/O worker before anything
  // goes. A derived class whose own members run on the worker waits for them in its own destructor
  // (WaitThreads(False)), before its part of the object is gone.
  ~TZodazUrIO() override;

  // ---- Attachment ----
  // True while an I/O thread may be writing the working bitmap (from the queueing of a call to the
  // worker's refresh request): the attached view neither paints nor measures it then.
  bool BitmapBusy() const { return bitmapBusy_.load(); }
  TIEViewLink* AttachedZodazUr() const { return attachedView_; }
  // Works on the view's current bitmap and follows it; nil gives the component a new own bitmap.
  virtual void SetAttachedZodazUr(TIEViewLink* View);
  // Works on the picture bitmap of a picture control (wrapped, read again at every check, since the
  // picture may change its bitmap). Nil lets go of the control and its bitmap.
  TImage* AttachedTImage() const { return attachedTImage_; }
  void SetAttachedTImage(TImage* Image);
  // Works on Bitmap (not owned). Nil while a view or picture control is attached changes nothing.
  void SetAttachedIEBitmap(TIEBitmap* Bitmap);
  // Uses Bitmap as the working bitmap (not owned), dropping the own bitmap and the attached
  // framework bitmap.
  void ReplaceWorkBitmap(TIEBitmap* Bitmap);
  // The working bitmap (nil only after ReplaceWorkBitmap(nil)).
  TIEBitmap* IEBitmap() const { return workBitmap_; }
  bool OwnsBitmap() const { return workBitmap_ != nullptr && workBitmap_ == ownBitmap_.get(); }
  // The framework bitmap the working bitmap wraps (a view's or a picture control's); nil when none.
  TBitmap* AttachedBitmap() const { return attachedBitmap_; }
  // The framework bitmap of the image: the working bitmap's own when it lives in one, else the
  // attached framework bitmap, else nil.
  virtual TBitmap* GetBitmap();
  // The size of GetBitmap's bitmap; False when there is none.
  bool GetBitmapSize(int32_t& Width, int32_t& Height);

  // ---- Properties ----
  // The attached view's background, else the component's own.
  TColor Background();
  // Stored without a view; with a view attached nothing changes.
  void SetBackground(TColor Value);
  TMsgLanguage MsgLanguage() const { return msgLanguage_; }
  void SetMsgLanguage(TMsgLanguage Value) { msgLanguage_ = Value; }
  TIOPreviewsParams PreviewsParams() const { return previewsParams_; }
  void SetPreviewsParams(TIOPreviewsParams Value) { previewsParams_ = Value; }
  bool StreamHeaders() const { return streamHeaders_; }
  void SetStreamHeaders(bool Value) { streamHeaders_ = Value; }
  TFont* PreviewFont() const { return previewFont_.get(); }
  // Copies Font into PreviewFont.
  void SetPreviewFont(const TFont* Font);
  TIEDialogsMeasureUnit DialogsMeasureUnit() const { return dialogsMeasureUnit_; }
  void SetDialogsMeasureUnit(TIEDialogsMeasureUnit Value) { dialogsMeasureUnit_ = Value; }
  bool AutoAdjustDPI() const { return autoAdjustDPI_; }
  void SetAutoAdjustDPI(bool Value) { autoAdjustDPI_ = Value; }
  bool FilteredAdjustDPI() const { return filteredAdjustDPI_; }
  void SetFilteredAdjustDPI(bool Value) { filteredAdjustDPI_ = Value; }
  bool SimplifiedParamsDialogs() const { return simplifiedParamsDialogs_; }
  void SetSimplifiedParamsDialogs(bool Value) { simplifiedParamsDialogs_ = Value; }
  // Readers keep the file's pixel format; kept in Params.IsNativePixelFormat.
  bool NativePixelFormat() const { return params_ ? params_->IsNativePixelFormat : false; }
  void SetNativePixelFormat(bool Value);
  // How the working bitmap reduces colours to black and white (0 ordered dither, 1 threshold).
  uint8_t BWConversion() const { return bwConversion_; }
  void SetBWConversion(uint8_t Mode);
  // The filter of printing (rfFastLinear; rfNone switches filtering off).
  TResampleFilter PrintFilter() const { return printFilter_; }
  void SetPrintFilter(TResampleFilter Value) { printFilter_ = Value; }
  // Loads and saves go to I/O threads when the working bitmap is not the component's own.
  bool Asynchronous() const { return asynchronous_; }
  void SetAsynchronous(bool Value) { asynchronous_ = Value; }

  // The proxy of downloads from internet addresses ("host:port"; empty: a direct connection) and
  // the credentials it asks for.
  const std::string& ProxyAddress() const { return proxyAddress_; }
  void SetProxyAddress(const std::string& Value) { proxyAddress_ = Value; }
  const std::string& ProxyUser() const { return proxyUser_; }
  void SetProxyUser(const std::string& Value) { proxyUser_ = Value; }
  const std::string& ProxyPassword() const { return proxyPassword_; }
  void SetProxyPassword(const std::string& Value) { proxyPassword_ = Value; }

  TIOParamsVals& Params() { return *params_; }
  TIETWainParams* TWainParams() const { return twainParams_.get(); }
  // The image-acquisition connection, made on first request and freed with the component; its
  // transfer progress goes to WiaProgress.
  TIEWia* GetWia();
  // A transfer's progress as this component's; false (stop) once Aborting is set.
  bool WiaProgress(TIEWia* Sender, int32_t Percentage);
  TIOPrintPreviewParams* PrintPreviewParams() const { return printPreviewParams_.get(); }

  // Set to stop a running load or save; left set by a load or save that failed.
  bool Aborting() const;
  void SetAborting(bool Value);

  // ---- Events ----
  TIEProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;
  TIEIOPreviewEvent OnIOPreview;
  TIEAcquireBitmapEvent OnAcquireBitmap;
  TIEDoPreviewsEvent OnDoPreviews;

  // ---- Checks and updates around loads and saves ----
  // False without a working bitmap; re-wraps the attached framework bitmap (its size may have
  // changed); with a non-empty Allowed set, False for a working bitmap of another format.
  bool CheckBitmap(TIEPixelFormatSet Allowed = 0);
  // After the image changed: tells the attached view (posting from an I/O thread), or marks the
  // attached framework bitmap modified.
  void UpdateAttached();
  // An attached single-image view gets Params' resolution. On the I/O worker the view is not
  // touched there: the resolution is set on the user-interface thread by the synchronised call of
  // the refresh that follows (UpdateAttached), or at the end of the I/O call.
  virtual void UpdateViewDPI();
  // Params' resolutions below 2 become the engine's defaults.
  void ApplyDefaultDPI();
  // Resamples the working bitmap so that both resolutions are equal (the larger side stays): pixels
  // become square. Loaders run it when AutoAdjustDPI is set.
  void DoAutoAdjustDPI();
  // A progress record for a codec: this component's progress callback, this component as sender
  // and Aborting as its abort flag.
  void FillProgressRecord(TIEProgressRecord& Progress);
  // The common start of every load and save: true when the call must be queued for the I/O worker
  // (Asynchronous set, the working bitmap not the component's own, the caller not the component's
  // worker). Otherwise the call works on this thread; a call from outside the worker first waits
  // until the asynchronous work queued or running has finished.
  bool MustRunAsynchronously();

  // ---- Notifications ----
  virtual void DoProgress(TObject* Sender, int32_t per);
  // Reports 100, then fires OnFinishWork (posted to an attached view from an I/O thread).
  virtual void DoFinishWork();

  // ---- I/O threads ----
  // True on this component's I/O worker while it runs the queued calls.
  bool InWorkerThread();
  // Waits until every queued call has been made and the worker has finished; with Abort, the running
  // codec is asked to stop (Aborting) and calls still queued are dropped unmade. On the user-interface
  // thread the wait serves synchronised calls of the worker. On the worker itself it waits for nothing
  // (the worker cannot wait for its own calls).
  void WaitThreads(bool Abort);

  // ---- Acquisition and the save-parameters dialog ----
  virtual void DoOnAcquireBitmap(TIEBitmap* ABitmap, bool& Handled);
  // An acquisition source hands over one image: unless a handler takes it, the working bitmap
  // copies it and SourceParams is pointed at this component's Params.
  virtual void DoAcquireBitmap(TIEBitmap* ABitmap, TIOParamsVals*& SourceParams);
  virtual void AcquireClose() {}
  // Shows the save-parameters dialog; True when it was closed with OK (or OnDoPreviews handled it).
  virtual bool DoPreviews(TIOPreviewPages Pages);

  // ---- Media files and the media graph (zodazur_io_media.cpp) ----
  // These are the component's own: the destructor calls CloseMediaFile, so no subclass overrides
  // them.
  // The capture and playback graph, created on first use; with a view attached at creation, the
  // view's window is its notify window for IEM_NEWFRAME and IEM_DSHOWEVENT.
  TIEDirectShow* GetDirectShow();
  // The graph when GetDirectShow has made it, else nil (never makes one).
  TIEDirectShow* DirectShow() const { return directShow_.get(); }
  // Gives the graph the attached view's current window when it changed (the view calls it before
  // painting: its window may have been recreated).
  void UpdateDirectShowNotifyWindow();
  // Opens a media file for reading single frames and answers its frame count (0 when its duration
  // cannot be read: the file then stays open and Aborting stays set). Fills Params's media frame
  // count, file name and type, and the video's size.
  int32_t OpenMediaFile(const std::string& FileName);
  // Reads frame FrameIndex of the open media file into the working bitmap; nothing when none is open.
  void LoadFromMediaFile(int32_t FrameIndex);
  // Releases the media file (nothing when none is open).
  void CloseMediaFile();
  bool IsOpenMediaFile() const { return mediaFile_ != nullptr; }

  // ---- AVI files (zodazur_io_avi.cpp) ----
  // One AVI file at a time, read frame by frame or written frame by frame. These are the
  // component's own: the destructor calls CloseAVIFile, so no subclass overrides them.
  // Opens FileName for reading and answers its frame count (0, with Aborting set, on failure); fills
  // Params.AviFrameCount and AviFrameDelayTime (ms a frame; 0 for a rate or scale of 0).
  int32_t OpenAVIFile(const std::string& FileName);
  // Reads frame FrameIndex (0-based) of the file open for reading into the working bitmap (on an
  // I/O thread when Asynchronous). An index outside the file or no open file changes nothing; a
  // frame that cannot be decoded sets Aborting. OnFinishWork runs in every case.
  void LoadFromAVIFrame(int32_t FrameIndex);
  // Starts an AVI file of Rate frames a second for WriteAVIFrame, compressed with the compressor
  // Codec (its four-character code; empty: the compression options dialog chooses). Answers 0 when
  // ready, 1 when the dialog was cancelled or there is no such compressor, 2 when memory failed, 3
  // when the format is not supported (Rate below 1 too); Aborting is set unless 0. The file replaces
  // FileName at CloseAVIFile, so the user's file stays until the new one is complete. Raises
  // EInvalidGraphic "unable to create AVI file" when no file can be made beside FileName.
  uint8_t CreateAVIFile(const std::string& FileName, int32_t Rate, const std::string& Codec);
  // Appends the working bitmap as the next frame: 8-bit frames with a palette of their own when
  // Params says one sample of 8 bits, 32 bits with the alpha channel, else 24 bits. A frame that
  // cannot be written (a compressor refusing it, a failed write) sets Aborting.
  void WriteAVIFrame();
  // Releases the open AVI file: a written file is completed and put in place (one without a frame,
  // or whose creation failed, is dropped and leaves FileName as it was).
  void CloseAVIFile();
  int32_t AviFrameIndex() const { return aviFrameIndex_; }

  // ---- Loading and saving format by format (zodazur_io_formats.cpp) ----
  // Every format has a file form and a stream form. They follow the common steps around the format's
  // codec: a failure (an unreadable or unwritable file, bad data, a format whose codec is not built
  // yet) leaves Aborting set and never raises; OnFinishWork runs at the end. A file is written
  // through a temporary file beside it that replaces it only when the codec succeeded. Loaders of
  // multi-image formats return the number of pages or frames (-1 when the call went to an I/O
  // thread). A stream handed to a call that goes to an I/O thread stays the caller's and must be left
  // alone until the call has finished.
  int32_t LoadFromFileTIFF(const std::string& FileName);
  int32_t LoadFromStreamTIFF(TStream& Stream);
  int32_t LoadFromFileGIF(const std::string& FileName);
  int32_t LoadFromStreamGIF(TStream& Stream);
  void LoadFromFileJPEG(const std::string& FileName);
  void LoadFromStreamJPEG(TStream& Stream);
  void LoadFromFilePCX(const std::string& FileName);
  void LoadFromStreamPCX(TStream& Stream);
  void LoadFromFileBMP(const std::string& FileName);
  void LoadFromStreamBMP(TStream& Stream);
  void LoadFromFileICO(const std::string& FileName);
  void LoadFromStreamICO(TStream& Stream);
  void LoadFromFileCUR(const std::string& FileName);
  void LoadFromStreamCUR(TStream& Stream);
  void LoadFromFilePNG(const std::string& FileName);
  void LoadFromStreamPNG(TStream& Stream);
  void LoadFromFileTGA(const std::string& FileName);
  void LoadFromStreamTGA(TStream& Stream);
  void LoadFromFilePXM(const std::string& FileName);
  void LoadFromStreamPXM(TStream& Stream);
  void LoadFromFileJP2(const std::string& FileName);
  void LoadFromStreamJP2(TStream& Stream);
  void LoadFromFileJ2K(const std::string& FileName);
  void LoadFromStreamJ2K(TStream& Stream);
  void LoadFromFileWBMP(const std::string& FileName);
  void LoadFromStreamWBMP(TStream& Stream);
  void LoadFromFileDCX(const std::string& FileName);
  void LoadFromStreamDCX(TStream& Stream);
  void LoadFromFileRAW(const std::string& FileName);
  void LoadFromStreamRAW(TStream& Stream);
  // The working bitmap's size and pixel format give the layout of the data.
  void LoadFromFileRawBitmap(const std::string& FileName);
  void LoadFromStreamRawBitmap(TStream& Stream);
  void LoadFromFilePSD(const std::string& FileName);
  void LoadFromStreamPSD(TStream& Stream);
  void LoadFromFileDICOM(const std::string& FileName);
  void LoadFromStreamDICOM(TStream& Stream);
  void LoadFromFileHDP(const std::string& FileName);
  void LoadFromStreamHDP(TStream& Stream);
  // Layers and vector objects (ids 25 to 27): the views override them; here they fail.
  virtual void LoadFromFileViewFormat(const std::string& FileName, TIEFileFormatId Format);
  virtual void LoadFromStreamViewFormat(TStream& Stream, TIEFileFormatId Format);
  // Metafiles (ids 9 and 10) rasterised into the working bitmap as ie24RGB at Width x Height: both
  // at least 1 give that size, one negative keeps the proportions from the other, both negative
  // the metafile's own size, either 0 draws nothing; no side passes MetafileMaxSize. WithAlpha
  // makes what the picture leaves unpainted transparent. A metafile of size 0 sets Aborting.
  void ImportMetafile(TMetafile& Metafile, int32_t Width, int32_t Height, bool WithAlpha);
  // The file and stream forms: data that is no metafile sets Aborting; OnFinishWork runs always.
  void ImportMetafileFromFile(const std::string& FileName, int32_t Width, int32_t Height, bool WithAlpha);
  void ImportMetafileFromStream(TStream& Stream, int32_t Width, int32_t Height, bool WithAlpha);
  // Params of a metafile without drawing it (the read-parameters form of ids 9 and 10).
  void ReadMetafileParams(TStream& Stream);
  // An image at an http, https or ftp address, downloaded into memory through the proxy fields and
  // loaded by its content. A failed download (or content no reader knows) sets Aborting; an abort
  // during the transfer keeps what arrived and loads it. OnFinishWork runs in every case.
  virtual void LoadFromURL(const std::string& URL);

  void SaveToFileTIFF(const std::string& FileName);
  void SaveToStreamTIFF(TStream& Stream);
  void SaveToFileGIF(const std::string& FileName);
  void SaveToStreamGIF(TStream& Stream);
  void SaveToFileJPEG(const std::string& FileName);
  void SaveToStreamJPEG(TStream& Stream);
  void SaveToFilePCX(const std::string& FileName);
  void SaveToStreamPCX(TStream& Stream);
  void SaveToFileBMP(const std::string& FileName);
  void SaveToStreamBMP(TStream& Stream);
  void SaveToFileICO(const std::string& FileName);
  void SaveToStreamICO(TStream& Stream);
  void SaveToFilePNG(const std::string& FileName);
  void SaveToStreamPNG(TStream& Stream);
  void SaveToFileTGA(const std::string& FileName);
  void SaveToStreamTGA(TStream& Stream);
  void SaveToFilePXM(const std::string& FileName);
  void SaveToStreamPXM(TStream& Stream);
  void SaveToFileJP2(const std::string& FileName);
  void SaveToStreamJP2(TStream& Stream);
  void SaveToFileJ2K(const std::string& FileName);
  void SaveToStreamJ2K(TStream& Stream);
  void SaveToFileWBMP(const std::string& FileName);
  void SaveToStreamWBMP(TStream& Stream);
  void SaveToFilePS(const std::string& FileName);
  void SaveToStreamPS(TStream& Stream);
  void SaveToFilePDF(const std::string& FileName);
  void SaveToStreamPDF(TStream& Stream);
  void SaveToFileDCX(const std::string& FileName);
  void SaveToStreamDCX(TStream& Stream);
  void SaveToFilePSD(const std::string& FileName);
  void SaveToStreamPSD(TStream& Stream);
  void SaveToFileHDP(const std::string& FileName);
  void SaveToStreamHDP(TStream& Stream);

  // ---- Load and save dispatch (zodazur_io_dispatch.cpp) ----
  // By the file's extension (compared in lower case); an internet address goes to LoadFromURL, an
  // ".avi" file to the AVI frames.
  virtual void LoadFromFile(const std::string& FileName);
  // By the file's content, else by its extension.
  virtual void LoadFromFileByContent(const std::string& FileName);
  virtual void LoadFromFileAsFormat(const std::string& FileName, TIEFileFormatId Format);
  // By the stream's content; unknown content sets Aborting and changes nothing else.
  virtual void LoadFromStream(TStream& Stream);
  // Format 0 means by content.
  virtual void LoadFromStreamAsFormat(TStream& Stream, TIEFileFormatId Format);
  // A caller's memory block read as a stream (Format 0: by content); nil or empty sets Aborting. The
  // block must stay until the load has finished.
  virtual void LoadFromBuffer(const void* Buffer, int64_t BufferSize, TIEFileFormatId Format);
  // By the file's extension; an empty name does nothing; an extension no saver serves sets Aborting.
  virtual void SaveToFile(const std::string& FileName);
  virtual void SaveToStream(TStream& Stream, TIEFileFormatId Format);
  // Params from the file's headers without the pixels; a failure leaves Params.FileType 0.
  virtual void ReadParamsFromFile(const std::string& FileName);
  virtual void ReadParamsFromFileAsFormat(const std::string& FileName, TIEFileFormatId Format);
  virtual void ReadParamsFromStream(TStream& Stream);
  virtual void ReadParamsFromStreamAsFormat(TStream& Stream, TIEFileFormatId Format);
  virtual void ReadParamsFromBuffer(const void* Buffer, int64_t BufferSize, TIEFileFormatId Format);

  // ---- Image as source text (zodazur_io_source_text.cpp) ----
  // Kind 0: a Pascal byte array, 1: a C byte list, 2: Base64 text, each of the image encoded in
  // Format; 3: the image drawn in characters (24-bit images only).
  virtual void SaveToSourceText(const std::string& FileName, TIEFileFormatId Format, uint8_t Kind);

 protected:
  void Notification(TComponent* Component, TOperation Operation) override;
  // The callback registered with the attached view.
  void ViewBitmapChanged(TObject* Sender, bool Destroying);

 private:
  friend class TIEIOThread;
  friend class TIEIOWorker;
  friend class TIOParamsVals;  // its resolution setters reach the view through ForwardViewDPI

  // Lets go of the attached view: unregisters (unless the view is going away), drops the free
  // notification, and leaves no reference to the view's bitmaps: the component gets a new own one.
  void DetachView(bool ViewDestroying);
  void UnregisterFromView();
  // Lets go of the attached picture control and of every reference to its bitmap.
  void DetachImage();
  void NewOwnBitmap();
  // From an I/O thread: posts Message to the attached view's window, creating the window first on
  // the user-interface thread when it does not exist yet. False (nothing posted) without an attached
  // view that has a parent.
  bool PostToView(uint32_t Message, uintptr_t WParam);
  // The worker is done with the working bitmap: a view skipped while it was busy refreshes now.
  void ReleaseBusyBitmap();
  // The end of UpdateAttached on the user-interface thread: the view's refresh (with UpdateView) and
  // image-change notice, or the framework bitmap marked modified.
  void TellAttached(bool UpdateView);
  // Joins a worker that has finished draining the queue.
  void JoinIdleWorker();
  // Gives an attached single-image view the resolution of the axes named: at once on the
  // user-interface thread; on the I/O worker it is kept for the worker's next synchronised call
  // (the view reads its resolution on its own thread while the worker runs).
  void ForwardViewDPI(bool SetX, int32_t DpiX, bool SetY, int32_t DpiY);
  // Sets the resolution of the axes named of an attached single-image view (user-interface thread).
  void SetViewDPI(bool SetX, int32_t DpiX, bool SetY, int32_t DpiY);
  // On the user-interface thread: the resolution the worker left for the view, if any.
  void FlushViewDPI();

  // ---- Cores of the loaders and savers (zodazur_io_formats.cpp) ----
  // The common steps of a loader around the codec of Format, file and stream form; the result is
  // Params.ImageCount.
  int32_t LoadFileCore(const std::string& FileName, TIEFileFormatId Format);
  int32_t LoadStreamCore(TStream& Stream, TIEFileFormatId Format);
  void SaveFileCore(const std::string& FileName, TIEFileFormatId Format);
  void SaveStreamCore(TStream& Stream, TIEFileFormatId Format);
  // Runs the reader of Format's registry row on Stream into the working bitmap (or its writer with
  // Bitmap); failures set Aborting.
  void RunCodecReader(TStream& Stream, TIEFileFormatId Format, bool ParamsOnly, TIEProgressRecord& Progress);
  void RunCodecWriter(TStream& Stream, TIEFileFormatId Format, TIEBitmap& Bitmap, TIEProgressRecord& Progress);
  // The read-parameters core of a built-in format on a stream (no exceptions reach the caller).
  void ReadParamsCore(TStream& Stream, TIEFileFormatId Format);
  // The load of a row that is not built in, through its read procedure.
  void LoadWithReadProc(const std::string& FileName, TStream* Stream, const TIEFileFormatInfo& Row);
  void SaveWithWriteProc(const std::string& FileName, TStream* Stream, const TIEFileFormatInfo& Row);
  // SaveToStream on the caller's thread.
  void SaveToStreamNow(TStream& Stream, TIEFileFormatId Format);

  std::string proxyAddress_;
  std::string proxyUser_;
  std::string proxyPassword_;

  // ---- Working bitmap and attachments ----
  std::unique_ptr<TIEBitmap> ownBitmap_;
  TIEBitmap* workBitmap_ = nullptr;
  TBitmap* attachedBitmap_ = nullptr;
  TIEViewLink* attachedView_ = nullptr;
  // The attached view's control, kept to recognise its removal notice: by then the view is past
  // its own destructor and cannot be asked.
  TComponent* attachedViewControl_ = nullptr;
  TImage* attachedTImage_ = nullptr;
  TIEBitmapChangeHandle viewHandle_ = nullptr;

  // ---- Properties ----
  TColor background_ = clBlack;
  bool forwardBackground_ = false;  // callers never turn it on
  TMsgLanguage msgLanguage_ = msSystem;
  TIOPreviewsParams previewsParams_ = 0;
  bool simplifiedParamsDialogs_ = true;
  bool streamHeaders_ = false;
  std::unique_ptr<TFont> previewFont_;
  TIEDialogsMeasureUnit dialogsMeasureUnit_ = ieduInches;
  bool autoAdjustDPI_ = false;
  bool filteredAdjustDPI_ = false;
  bool asynchronous_ = false;
  TResampleFilter printFilter_ = rfFastLinear;
  uint8_t bwConversion_ = 1;
  bool aborting_ = false;

  std::unique_ptr<TIETWainParams> twainParams_;
  std::unique_ptr<TIEWia> wia_;
  std::unique_ptr<TIOPrintPreviewParams> printPreviewParams_;
  std::unique_ptr<TIOParamsVals> params_;

  // ---- Media (zodazur_io_media.cpp) ----
  std::unique_ptr<TIEDirectShow> directShow_;  // the capture and playback graph
  std::unique_ptr<TIEDirectShow> mediaFile_;   // the open media file, nil when none
  double mediaFrameDuration_ = 0;              // milliseconds per frame
  TIEMediaFrames mediaFrames_;                 // how the open media file's frames are read

  // ---- AVI files (zodazur_io_avi.cpp) ----
  PAVIFILE aviFile_ = nullptr;
  PAVISTREAM aviStream_ = nullptr;       // reading: the video stream; writing: the compressed stream
  PAVISTREAM aviWriteStream_ = nullptr;  // writing: the stream in the file (set only while writing)
  PGETFRAME aviFrameGetter_ = nullptr;
  AVISTREAMINFOW aviStreamInfo_{};
  AVICOMPRESSOPTIONS aviCompressOptions_{};
  int32_t aviFrameIndex_ = 0;
  bool aviDiscard_ = false;              // the file written is not to replace its target

  // ---- I/O threads (io_threads.cpp) ----
  TCriticalSection threadsLock_;  // guards the fields below; held only for queue operations
  std::deque<std::unique_ptr<TIEIOThread>> queue_;  // calls made and not yet taken, oldest first
  std::unique_ptr<TThread> worker_;  // the worker thread, running or finished and not yet joined
  bool working_ = false;             // the worker is draining the queue (a call may be running)
  TThreadID workerId_ = 0;           // the worker's thread id while working_
  // Manual reset: set while nothing is queued or running (every waiter wakes), reset by a queued call.
  TEvent allDone_{true, true};
  std::atomic<HWND> viewWindow_{nullptr};  // the attached view's window as last seen by a worker
  // An I/O call queued or running may be changing the working bitmap: a view reading it now would
  // race the worker (its size and rows change under it). Cleared by the worker before it asks the
  // view to refresh.
  std::atomic<bool> bitmapBusy_{false};
  // The resolution left on the worker for the view, set by the next call the worker synchronises
  // with the user-interface thread (the worker writes it, that call reads it). Each axis on its own:
  // a setter of one leaves the view's other as it is.
  enum : uint8_t { kViewDpiX = 1, kViewDpiY = 2 };
  uint8_t viewDpiPending_ = 0;  // kViewDpiX | kViewDpiY
  int32_t viewDpiX_ = 0, viewDpiY_ = 0;
};
