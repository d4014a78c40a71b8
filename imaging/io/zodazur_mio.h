#pragma once
// TZodazUrMIO: the multi-image I/O component. It serves one thumbnail view, keeping one parameter
// record per image of that view in view order (following the view's inserts, deletes and moves
// through its bitmap-change callbacks), opens the save-parameters dialog and the multi-image print
// preview for the view's images, and stores acquired images into the view. Loading multi-frame
// files into the view is added by the multi-frame loaders.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_multi_view_link.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/classes.h"

class TBitmap;
class TFont;
class TIEBitmap;
class TIETWainParams;
class TIEWia;
class TIOPrintPreviewParams;
class TZodazUrMIO;
struct TIEMIOPageFormat;

using TIEAfterAcquireBitmapEvent = std::function<void(TObject* Sender, int32_t Index)>;

// What the save-parameters dialog gets when the component opens it for the view's images.
struct TIEMIOPreviewsRequest {
  TZodazUrMIO* MIO = nullptr;  // the owner of the form
  TIOPreviewPages Pages = 0;
  TIOParamsVals* Params = nullptr;  // the record edited
  bool LockPreview = false;         // ioppDefaultLockPreview
  bool ApplyButton = false;         // ioppApplyButton
  bool Simplified = true;
  // With Simplified: the page control's and the form's heights (Trunc(PixelsPerInch x 1.2708...)
  // and Trunc(PixelsPerInch x 3.4375)); 0 otherwise.
  int32_t PageControlHeight = 0;
  int32_t FormHeight = 0;
  uint8_t BWConversion = 1;
  TMsgLanguage Language = msSystem;
  TFont* Font = nullptr;
  TBitmap* Bitmap = nullptr;  // the selected image, copied into the form's preview
};
// Shows the dialog modally; True when it closed with OK. Installed by the dialogs; without it the
// component answers False.
using TIEMIOPreviewsDialogFunc = bool (*)(const TIEMIOPreviewsRequest& Request);
extern TIEMIOPreviewsDialogFunc MIOPreviewsDialog;

// What the multi-image print preview gets.
struct TIEMIOPrintPreviewRequest {
  TZodazUrMIO* MIO = nullptr;
  TMsgLanguage Language = msSystem;
  TFont* Font = nullptr;
  std::string JobTitle;
  TIEDialogsMeasureUnit MeasureUnit = ieduInches;
  TIOPrintPreviewParams* Params = nullptr;
  bool PrintAnnotations = false;
  std::string Caption;
};
using TIEMIOPrintPreviewFunc = bool (*)(const TIEMIOPrintPreviewRequest& Request);
extern TIEMIOPrintPreviewFunc MIOPrintPreviewDialog;

class TZodazUrMIO : public TComponent {
 public:
  explicit TZodazUrMIO(TComponent* Owner);
  ~TZodazUrMIO() override;

  // ---- The view ----
  TIEMultiViewLink* AttachedMView() const { return view_; }
  // Follows the view from now on and appends records until there is one per image; nil lets go of
  // the view and keeps the records.
  void SetAttachedMView(TIEMultiViewLink* View);

  // ---- Records ----
  int32_t ParamsCount() const { return static_cast<int32_t>(params_.size()); }
  // Nil outside the list.
  TIOParamsVals* GetParams(int32_t Index) const;
  // A new record at Index (appended at or past the end) with the encoding options of the record at
  // Index (the last one past the end).
  void InsertParams(int32_t Index);
  // Outside the list: nothing.
  void DeleteParams(int32_t Index);
  void MoveParams(int32_t Index, int32_t NewIndex);
  // The encoding options of record 0 go to every other record; nothing on an empty list.
  void DuplicateCompressionInfo();

  // ---- Loading (zodazur_mio_load.cpp) ----
  // Every frame or page of the file into the attached view, from its selected image (the end when
  // none is) on, each image with its own record. The loader is chosen by the extension; other
  // extensions the format registry reads become one image. An empty name sets Aborting.
  void LoadFromFile(const std::string& FileName);
  // The file variants open the file (its failure raises), keep its name in CurrentFileName and run
  // the stream variant. A stream variant without a view does nothing. Failures set Aborting; the
  // frame being read is then left out and loading stops (TIFF with ContinueOnError goes on).
  void LoadFromFileTIFF(const std::string& FileName);
  void LoadFromStreamTIFF(TStream& Stream);
  void LoadFromFileGIF(const std::string& FileName);
  void LoadFromStreamGIF(TStream& Stream);
  void LoadFromFileICO(const std::string& FileName);
  void LoadFromStreamICO(TStream& Stream);
  void LoadFromFileDCX(const std::string& FileName);
  void LoadFromStreamDCX(TStream& Stream);
  void LoadFromFileDICOM(const std::string& FileName);
  void LoadFromStreamDICOM(TStream& Stream);
  // Every video frame of an AVI file through the AVI services, each with the stream's frame time.
  // A file they cannot open sets Aborting; one whose video they cannot decode goes to
  // LoadFromMediaFile.
  void LoadFromFileAVI(const std::string& FileName);
  // One image per video frame of any file the media services play, through a private media graph:
  // frame by frame where the source counts frames, else a frame every frame duration of media
  // time (one frame when there is none). Each image gets the frame duration as its delay. A file
  // whose duration reads 0 loads nothing and sets Aborting.
  void LoadFromMediaFile(const std::string& FileName);
  // Downloads URL (through ProxyAddress, ProxyUser, ProxyPassword) and loads it by content: the
  // multi-page formats from memory, anything else through a temporary file named with the
  // address's extension (at most eight letters and digits), which LoadFromFile reads and which is
  // deleted after. A failed download sets Aborting.
  void LoadFromURL(const std::string& URL);

  // ---- Dialogs and acquisition ----
  // The save-parameters dialog for record max(Index, 0) on the selected image (image 0 selected
  // when none is); with Index < 0 the options chosen go to every record. False without a view,
  // without an image to show, for an index without record, or without the dialog.
  bool DoPreviews(int32_t Index, TIOPreviewPages Pages);
  bool DoPrintPreviewDialog(const std::string& JobTitle, bool PrintAnnotations, const std::string& Caption);
  // An acquired image: inserted (without selection) at AcquireIndex, which then moves on; Params
  // points at its record.
  virtual void DoAcquireBitmap(TIEBitmap* Bitmap, TIOParamsVals*& Params);
  virtual void AcquireClose() {}
  virtual void DoFinishWork();
  // The image-acquisition object, made on first request with this component as owner and its
  // transfer progress bound to WiaProgress; freed with the component. (There is no acquisition
  // service on this platform: its device manager stays nil.)
  virtual TIEWia* GetWia();
  // OnProgress(Percent) when assigned; True to go on (Aborting is clear).
  bool WiaProgress(int32_t Percent);
  // With a view: its refresh, then its image-change notification.
  void UpdateView();

  // ---- Properties ----
  TMsgLanguage MsgLanguage = msSystem;
  TIOPreviewsParams PreviewsParams = 0;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  bool SimplifiedParamsDialogs = true;
  TIEDialogsMeasureUnit DialogsMeasureUnit = ieduInches;
  bool NativePixelFormat = false;
  bool ContinueOnError = false;
  uint8_t BWConversion = 1;
  bool ResetPrinter = true;
  int32_t AcquireIndex = 0;
  std::string CurrentFileName;
  std::string ProxyAddress, ProxyUser, ProxyPassword;
  TFont* PreviewFont() const { return previewFont_.get(); }
  void SetPreviewFont(const TFont* Font);
  TIOPrintPreviewParams* PrintPreviewParams() const { return printPreviewParams_.get(); }
  // Kept for the acquisition sources' shapes; nothing reads it.
  TIETWainParams* TWainParams() const { return twainParams_.get(); }
  bool Aborting() const { return aborting_; }
  void SetAborting(bool Value) { aborting_ = Value; }

  // ---- Events ----
  TIEProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;
  TIEAcquireBitmapEvent OnAcquireBitmap;
  TIEAfterAcquireBitmapEvent OnAfterAcquireBitmap;
  TIEDoPreviewsEvent OnDoPreviews;

 protected:
  void Notification(TComponent* Component, TOperation Operation) override;
  void ViewNotify(TObject* Sender, bool Destroying);

 private:
  void Unregister();
  // Where a load inserts its first frame: the selected image, or the end.
  int32_t InsertionPoint() const;
  // The page loop shared by the multi-page formats.
  void LoadPages(TStream& Stream, const TIEMIOPageFormat& Format);
  // Opens FileName and runs Load on it with CurrentFileName set.
  void LoadFileWith(const std::string& FileName, void (TZodazUrMIO::*Load)(TStream&));

  TIEMultiViewLink* view_ = nullptr;
  TComponent* viewControl_ = nullptr;
  TIEBitmapChangeHandle handle_ = nullptr;
  std::vector<std::unique_ptr<TIOParamsVals>> params_;
  std::unique_ptr<TFont> previewFont_;
  std::unique_ptr<TIOPrintPreviewParams> printPreviewParams_;
  std::unique_ptr<TIETWainParams> twainParams_;
  std::unique_ptr<TIEWia> wia_;
  bool aborting_ = false;
};
