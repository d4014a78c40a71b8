#include "imaging/io/zodazur_mio.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dialog_utils.h"
#include "imaging/io/ie_wia.h"
#include "imaging/io/print_preview_params.h"
#include "imaging/io/square_pixels.h"
#include "imaging/io/twain_params.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

TIEMIOPreviewsDialogFunc MIOPreviewsDialog = nullptr;
TIEMIOPrintPreviewFunc MIOPrintPreviewDialog = nullptr;

TZodazUrMIO::TZodazUrMIO(TComponent* Owner)
    : TComponent(Owner),
      previewFont_(std::make_unique<TFont>()),
      printPreviewParams_(std::make_unique<TIOPrintPreviewParams>()),
      twainParams_(std::make_unique<TIETWainParams>(this, true)) {}

TZodazUrMIO::~TZodazUrMIO() {
  Unregister();
  while (!params_.empty()) params_.pop_back();
}

// ---------------------------------------------------------------------------------- the view

void TZodazUrMIO::Unregister() {
  if (!view_) return;
  if (handle_) view_->ViewLink()->RemoveBitmapChangeEvent(handle_);
  handle_ = nullptr;
  if (viewControl_) viewControl_->RemoveFreeNotification(this);
  viewControl_ = nullptr;
  view_ = nullptr;
}

void TZodazUrMIO::SetAttachedMView(TIEMultiViewLink* View) {
  Unregister();
  if (!View) return;
  view_ = View;
  viewControl_ = View->ViewLink()->ViewControl();
  if (viewControl_) viewControl_->FreeNotification(this);
  handle_ = View->ViewLink()->AddBitmapChangeEvent(
      [this](TObject* Sender, bool Destroying) { ViewNotify(Sender, Destroying); });
  // A longer list than the view's stays as it is.
  while (ParamsCount() < View->ImageCount()) InsertParams(ParamsCount());
}

void TZodazUrMIO::ViewNotify(TObject*, bool Destroying) {
  if (!view_) return;
  if (Destroying) {
    // The view drops the registration itself.
    handle_ = nullptr;
    if (viewControl_) viewControl_->RemoveFreeNotification(this);
    viewControl_ = nullptr;
    view_ = nullptr;
    return;
  }
  switch (view_->GetLastChange()) {
    case iemcInsert: InsertParams(view_->GetLastChangeIndex()); break;
    case iemcDelete: DeleteParams(view_->GetLastChangeIndex()); break;
    case iemcMove: MoveParams(view_->GetLastChangeIndex(), view_->GetLastChangeNewIndex()); break;
    default: break;
  }
}

void TZodazUrMIO::Notification(TComponent* Component, TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == opRemove && Component && Component == viewControl_) {
    // The view is past its own destructor: nothing of it may be asked any more.
    handle_ = nullptr;
    viewControl_ = nullptr;
    view_ = nullptr;
  }
}

// ---------------------------------------------------------------------------------- records

TIOParamsVals* TZodazUrMIO::GetParams(int32_t Index) const {
  if (Index < 0 || Index >= ParamsCount()) return nullptr;
  return params_[static_cast<size_t>(Index)].get();
}

void TZodazUrMIO::InsertParams(int32_t Index) {
  if (Index < 0) Index = 0;
  auto record = std::make_unique<TIOParamsVals>(nullptr);
  if (!params_.empty()) {
    const int32_t from = Index >= ParamsCount() ? ParamsCount() - 1 : Index;
    record->AssignCompressionInfo(*params_[static_cast<size_t>(from)]);
  }
  if (Index >= ParamsCount()) params_.push_back(std::move(record));
  else params_.insert(params_.begin() + Index, std::move(record));
}

void TZodazUrMIO::DeleteParams(int32_t Index) {
  if (Index < 0 || Index >= ParamsCount()) return;
  params_.erase(params_.begin() + Index);
}

void TZodazUrMIO::MoveParams(int32_t Index, int32_t NewIndex) {
  const int32_t count = ParamsCount();
  if (Index < 0 || Index >= count || NewIndex < 0 || NewIndex == Index) return;
  std::unique_ptr<TIOParamsVals> record = std::move(params_[static_cast<size_t>(Index)]);
  params_.erase(params_.begin() + Index);
  // Past the end the record becomes the last one.
  if (NewIndex < count) params_.insert(params_.begin() + NewIndex, std::move(record));
  else params_.push_back(std::move(record));
}

void TZodazUrMIO::DuplicateCompressionInfo() {
  if (params_.empty()) return;
  TIOParamsVals temp(nullptr);
  temp.AssignCompressionInfo(*params_[0]);
  for (size_t i = 1; i < params_.size(); ++i) params_[i]->AssignCompressionInfo(temp);
}

// ---------------------------------------------------------------------------------- dialogs

void TZodazUrMIO::SetPreviewFont(const TFont* Font) {
  if (Font) previewFont_->Assign(*Font);
}

bool TZodazUrMIO::DoPreviews(int32_t Index, TIOPreviewPages Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (!view_) return false;
  TIOParamsVals* record = GetParams(std::max(Index, 0));
  if (!record) return false;
  if (view_->ImageCount() > 0 && view_->SelectedImage() < 0) view_->SelectImage(0);
  TBitmap* bitmap = view_->ViewLink()->GetBitmap();
  if (!bitmap || !MIOPreviewsDialog) return false;
  TIEMIOPreviewsRequest request;
  request.MIO = this;
  request.Pages = Pages;
  request.Params = record;
  request.LockPreview = (PreviewsParams & ioppDefaultLockPreview) != 0;
  request.ApplyButton = (PreviewsParams & ioppApplyButton) != 0;
  request.Simplified = SimplifiedParamsDialogs;
  if (SimplifiedParamsDialogs) {
    const int32_t ppi = Screen ? Screen->PixelsPerInch() : 96;
    request.PageControlHeight = static_cast<int32_t>(std::trunc(ppi * 1.2708333333333333334L));
    request.FormHeight = static_cast<int32_t>(std::trunc(ppi * 3.4375));
  }
  request.BWConversion = BWConversion;
  request.Language = MsgLanguage;
  request.Font = previewFont_.get();
  request.Bitmap = bitmap;
  const bool accepted = MIOPreviewsDialog(request);
  if (Index < 0) DuplicateCompressionInfo();
  UpdateView();
  return accepted;
}

bool TZodazUrMIO::DoPrintPreviewDialog(const std::string& JobTitle, bool PrintAnnotations, const std::string& Caption) {
  if (ResetPrinter) ResetPrinterDevice();
  if (!MIOPrintPreviewDialog) return false;
  TIEMIOPrintPreviewRequest request;
  request.MIO = this;
  request.Language = MsgLanguage;
  request.Font = previewFont_.get();
  request.JobTitle = JobTitle;
  request.MeasureUnit = DialogsMeasureUnit;
  request.Params = printPreviewParams_.get();
  request.PrintAnnotations = PrintAnnotations;
  request.Caption = Caption;
  return MIOPrintPreviewDialog(request);
}

void TZodazUrMIO::DoAcquireBitmap(TIEBitmap* Bitmap, TIOParamsVals*& Params) {
  bool handled = false;
  if (OnAcquireBitmap) OnAcquireBitmap(this, Bitmap, handled);
  if (handled || !view_ || !Bitmap) return;
  AcquireIndex = std::clamp(AcquireIndex, 0, view_->ImageCount());
  view_->InsertImageNoSelect(AcquireIndex);
  Params = GetParams(AcquireIndex);
  if (AutoAdjustDPI && Params) {
    auto copy = std::make_unique<TIEBitmap>();
    copy->Assign(*Bitmap);
    copy = AdjustBitmapDPI(std::move(copy), *Params, FilteredAdjustDPI);
    view_->StoreImageBitmap(AcquireIndex, copy.get());
  } else {
    view_->StoreImageBitmap(AcquireIndex, Bitmap);
  }
  view_->SetImageDelayTime(AcquireIndex, 100);
  if (OnAfterAcquireBitmap) OnAfterAcquireBitmap(this, AcquireIndex);
  ++AcquireIndex;
}

void TZodazUrMIO::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

TIEWia* TZodazUrMIO::GetWia() {
  if (!wia_) {
    wia_ = std::make_unique<TIEWia>(this);
    wia_->OnTransfer = [this](TIEWia*, int32_t Percent) { return WiaProgress(Percent); };
  }
  return wia_.get();
}

bool TZodazUrMIO::WiaProgress(int32_t Percent) {
  if (OnProgress) OnProgress(this, Percent);
  return !aborting_;
}

void TZodazUrMIO::UpdateView() {
  if (!view_) return;
  view_->ViewLink()->Update();
  view_->ViewLink()->DoImageChange();
}
