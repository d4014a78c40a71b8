#include "pictures/gif_frame_list.h"

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"
#include "platform/system/streams.h"

namespace {

// Skips bytes of value 0 and reads the first other one; false at the end of the stream.
bool NextBlockByte(TStream& stream, uint8_t& b) {
  do {
    if (stream.Read(&b, 1) != 1) return false;
  } while (b == 0);
  return true;
}

}  // namespace

void TGIFImageList::LoadFromStream(TStream& Stream, TGIFImage* Parent) {
  uint8_t b = 0;
  if (!NextBlockByte(Stream, b)) return;
  const int64_t size = Stream.Size();
  while (b != bsTrailer) {
    Stream.Seek(-1, soCurrent);
    if (b != bsExtensionIntroducer && b != bsImageDescriptor) {
      Warning(GIFWarningSeverity, sUnknownBlockType);
      break;
    }
    auto frame = std::make_unique<TGIFSubImage>(Parent);
    frame->LoadFromStream(Stream);
    Add(std::move(frame));
    const int64_t at = Stream.Position();
    Parent->Progress(Parent, psRunning, static_cast<uint8_t>(size > 0 ? at * 100 / size : 0), GIFRenderWhileLoading,
                     TRect{}, sProgressLoading);
    if (!NextBlockByte(Stream, b)) return;
  }
  Stream.Seek(-1, soCurrent);
}

void TGIFImageList::SaveToStream(TStream& Stream) {
  TGIFImage* image = Image();
  for (int32_t i = 0; i < Count(); ++i) {
    Items(i)->SaveToStream(Stream);
    image->Progress(image, psRunning, static_cast<uint8_t>((i + 1) * 100 / Count()), false, TRect{}, sProgressSaving);
  }
}
