// The AVI services' dialogs: the compression options of the streams to save, and a compressor's
// configuration. Both go through the one dialog road of the user interface, so tests answer them.
#include <QtWidgets/QApplication>
#include <QtWidgets/QInputDialog>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/media/avi_compressors.h"
#include "platform/media/avi_streams.h"
#include "platform/ui/dialogs.h"

namespace {

std::string ItemText(const TAviCompressor& c) { return FOURCCToString(c.Handler) + " " + c.Name; }

}  // namespace

bool AskCompressorQuality(HWND Parent, const std::string& Name, int32_t& Quality) {
  (void)Parent;
  TDialogRequest request;
  request.Kind = "CompressorConfigure";
  request.Title = Name;
  request.Text = std::to_string(Quality);
  const TDialogAnswer answer = RunDialog(request, [&] {
    TDialogAnswer a;
    if (!qApp) return a;
    bool ok = false;
    const int v = QInputDialog::getInt(nullptr, QString::fromStdString(Name), QStringLiteral("Quality (0 to 10000):"),
                                       Quality, 0, 10000, 100, &ok);
    a.Result = ok ? 1 : 0;
    a.Text = std::to_string(v);
    return a;
  });
  if (answer.Result != 1) return false;
  char* end = nullptr;
  const long v = std::strtol(answer.Text.c_str(), &end, 10);
  if (end == answer.Text.c_str()) return false;
  Quality = static_cast<int32_t>(std::clamp<long>(v, 0, 10000));
  return true;
}

bool AVISaveOptions(HWND Window, uint32_t Flags, int32_t Streams, PAVISTREAM* StreamList, LPAVICOMPRESSOPTIONS* Options) {
  (void)Window;
  (void)Flags;
  if (Streams <= 0 || !StreamList || !Options) return false;
  for (int32_t k = 0; k < Streams; ++k) {
    AVICOMPRESSOPTIONS* o = Options[k];
    if (!o || !StreamList[k]) return false;
    AVISTREAMINFOW info;
    if (StreamList[k]->Info(info) != AVIERR_OK) return false;
    *o = AVICOMPRESSOPTIONS{};
    o->fccType = info.fccType;
    if (info.fccType != streamtypeVIDEO) continue;  // other streams are copied
    // The compressors that take the stream's frames.
    std::vector<uint8_t> format;
    BITMAPINFOHEADER h{};
    // A stream being made has no format yet: every compressor is offered.
    const bool known = StreamList[k]->ReadFormat(0, format) == AVIERR_OK && format.size() >= 40;
    if (known) std::memcpy(&h, format.data(), 40);
    TDialogRequest request;
    request.Kind = "AVISaveOptions";
    request.Title = "Video Compression";
    request.Items.push_back("Full Frames (Uncompressed)");
    std::vector<const TAviCompressor*> offered{nullptr};
    for (const TAviCompressor& c : AviCompressors()) {
      if (known && !AviCompressorAccepts(c, h)) continue;
      request.Items.push_back(ItemText(c));
      offered.push_back(&c);
    }
    const TDialogAnswer answer = RunDialog(request, [&] {
      TDialogAnswer a;
      if (!qApp) return a;
      QStringList items;
      for (const std::string& i : request.Items) items << QString::fromStdString(i);
      bool ok = false;
      const QString chosen = QInputDialog::getItem(nullptr, QString::fromStdString(request.Title),
                                                   QStringLiteral("Compressor:"), items, 0, false, &ok);
      a.Result = ok ? 1 : 0;
      a.Text = chosen.toStdString();
      return a;
    });
    if (answer.Result != 1) return false;
    const TAviCompressor* chosen = nullptr;
    for (size_t i = 1; i < offered.size(); ++i) {
      if (request.Items[i] == answer.Text || FOURCCToString(offered[i]->Handler) == answer.Text) chosen = offered[i];
    }
    o->fccHandler = chosen ? chosen->Handler : comptypeDIB;
    o->dwQuality = static_cast<uint32_t>(chosen ? AviCompressorStoredQuality(chosen->Handler) : ICQUALITY_DEFAULT);
    o->dwFlags = AVICOMPRESSF_VALID;
  }
  return true;
}

HRESULT AVISaveOptionsFree(int32_t Streams, LPAVICOMPRESSOPTIONS* Options) {
  if (Streams < 0 || (Streams > 0 && !Options)) return AVIERR_BADPARAM;
  // The options own no blocks of ours; what a caller pointed them at stays the caller's.
  for (int32_t k = 0; k < Streams; ++k) {
    if (!Options[k]) continue;
    Options[k]->lpFormat = nullptr;
    Options[k]->cbFormat = 0;
    Options[k]->lpParms = nullptr;
    Options[k]->cbParms = 0;
  }
  return AVIERR_OK;
}
