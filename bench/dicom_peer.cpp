// DICOM: our reader against dcmtk's DicomImage in the same process, one thread, on the same files:
// a 4096 x 4096 16-bit grey frame stored uncompressed, RLE and lossless JPEG (process 14, selection
// value 1), and an 8-bit frame as baseline JPEG. dcmtk writes the files here (its own encoders), and
// both sides read each from the file into grey pixels with the values met stretched to the full
// range (dcmtk's min-max window; our reader does this when the data set gives no window). The
// outputs must agree within one level of 8 bits; the table gives both times and their ratio
// (ours / dcmtk). bench/compare_dicom.sh installs dcmtk's headers, builds and runs this.
//
//   dicom_peer [size [runs]]     (default 4096, best of 3)
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "bench/bench_timing.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// A grey frame of Bits bits from the photo's green channel (16 bits: a 12-bit range with the
// photo's grain, as a CT or X-ray frame holds), written by dcmtk in transfer syntax Xfer.
bool WriteFrame(const std::string& path, int size, int bits, E_TransferSyntax xfer, const DcmRepresentationParameter* rp) {
  const std::vector<uint8_t> photo = MakeBenchPhoto(size, size);
  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  ds->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  ds->putAndInsertString(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.9.7133.1.1");
  ds->putAndInsertString(DCM_PatientName, "Bench^Frame");
  ds->putAndInsertString(DCM_Modality, "OT");
  ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  ds->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(size));
  ds->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(size));
  ds->putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(bits));
  ds->putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(bits == 16 ? 12 : 8));
  ds->putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(bits == 16 ? 11 : 7));
  ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
  const size_t n = static_cast<size_t>(size) * size;
  if (bits == 16) {
    std::vector<Uint16> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<Uint16>(photo[3 * i + 1] * 16 + photo[3 * i] % 16);
    ds->putAndInsertUint16Array(DCM_PixelData, v.data(), static_cast<unsigned long>(n));
  } else {
    std::vector<Uint8> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = photo[3 * i + 1];
    ds->putAndInsertUint8Array(DCM_PixelData, v.data(), static_cast<unsigned long>(n));
  }
  if (xfer != EXS_LittleEndianExplicit && ds->chooseRepresentation(xfer, rp).bad()) return false;
  return file.saveFile(path.c_str(), xfer).good();
}

// dcmtk: the file decoded (decompressed by its registered codecs) and rendered with the min-max
// window into Bits-bit grey.
std::vector<uint8_t> DcmtkRead(const std::string& path, int bits) {
  DicomImage image(path.c_str());
  std::vector<uint8_t> out;
  if (image.getStatus() != EIS_Normal) return out;
  image.setMinMaxWindow();
  const unsigned long size = image.getOutputDataSize(bits);
  out.resize(size);
  if (!image.getOutputData(out.data(), size, bits)) out.clear();
  return out;
}

void OursRead(const std::string& path, TIEBitmap& bitmap) {
  TIEWideFileStream file(path, fmOpenRead);
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadDICOMStream(file, params, &bitmap, progress, false);
  if (aborting) bitmap.FreeImage();
}

// Both outputs in 8-bit levels: the largest difference.
int Difference(TIEBitmap& ours, const std::vector<uint8_t>& theirs, int size, int bits) {
  if (ours.Width() != size || ours.Height() != size) return 9999;
  const size_t bytes = static_cast<size_t>(size) * size * (bits / 8);
  if (theirs.size() != bytes) return 9999;
  int worst = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const size_t i = static_cast<size_t>(y) * size + x;
      int a, b;
      if (ours.PixelFormat() == ie16g) {
        a = ours.Row<uint16_t>(y)[x] >> 8;
      } else if (ours.PixelFormat() == ie8g) {
        a = ours.Row<uint8_t>(y)[x];
      } else {
        return 9999;
      }
      if (bits == 16) {
        uint16_t t;
        std::memcpy(&t, theirs.data() + 2 * i, 2);
        b = t >> 8;
      } else {
        b = theirs[i];
      }
      worst = std::max(worst, std::abs(a - b));
    }
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  const int size = argc > 1 ? std::atoi(argv[1]) : 4096;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  DcmRLEEncoderRegistration::registerCodecs();
  DcmRLEDecoderRegistration::registerCodecs();
  DJEncoderRegistration::registerCodecs();
  DJDecoderRegistration::registerCodecs();
  char folder[] = "/tmp/bench_dicom_XXXXXX";
  if (!mkdtemp(folder)) return 2;
  const DJ_RPLossless sv1(1, 0);
  const DJ_RPLossy baseline(90);
  struct Case {
    const char* name;
    int bits;
    E_TransferSyntax xfer;
    const DcmRepresentationParameter* rp;
  };
  const Case cases[] = {{"16-bit uncompressed", 16, EXS_LittleEndianExplicit, nullptr},
                        {"16-bit RLE", 16, EXS_RLELossless, nullptr},
                        {"16-bit lossless SV1", 16, EXS_JPEGProcess14SV1, &sv1},
                        {"8-bit baseline JPEG", 8, EXS_JPEGProcess1, &baseline}};
  std::printf("DICOM, %d x %d frames, dcmtk %s DicomImage (one thread), best of %d\n", size, size,
              OFFIS_DCMTK_VERSION_STRING, runs);
  std::printf("%-21s %9s %9s %9s %9s %7s %7s  %s\n", "frame", "ours s", "ours cpu", "dcmtk s", "dcmtk cpu", "wall", "cpu",
              "check");
  bool agree = true;
  for (const Case& c : cases) {
    const std::string path = std::string(folder) + "/frame.dcm";
    if (!WriteFrame(path, size, c.bits, c.xfer, c.rp)) {
      std::printf("%-21s dcmtk could not write the file\n", c.name);
      agree = false;
      continue;
    }
    TIEBitmap ours;
    std::vector<uint8_t> theirs;
    const Timing o = Measure([&] { OursRead(path, ours); }, runs);
    const Timing d = Measure([&] { theirs = DcmtkRead(path, c.bits); }, runs);
    const int diff = Difference(ours, theirs, size, c.bits);
    agree = agree && diff <= 1;
    char check[64];
    std::snprintf(check, sizeof check, diff <= 1 ? "agree (largest difference %d)" : "DIFFER (%d)", diff);
    std::printf("%-21s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", c.name, o.wall, o.cpu, d.wall, d.cpu, o.wall / d.wall,
                o.cpu / d.cpu, check);
    std::remove(path.c_str());
  }
  rmdir(folder);
  return agree ? 0 : 1;
}
