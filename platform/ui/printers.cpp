#include "platform/ui/printers.h"

#include <QtGui/QImage>
#include <QtGui/QPageLayout>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>

#include <cmath>

#include "platform/system/streams.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialogs.h"

const char* const kPdfPrinterName = "Print to PDF";

namespace {

// The printer's canvas: it draws on the current page's DC.
class TPrinterCanvas : public TCanvas {
 public:
  explicit TPrinterCanvas(TPrinter* printer) : printer_(printer) {}

 protected:
  void CreateHandle() override { SetHandle(printer_->Handle()); }

 private:
  TPrinter* printer_;
};

}  // namespace

struct TPrinter::Impl {
  TStringList printers;
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QPainter> painter;
  QImage page;
  HDC dc = nullptr;
  std::unique_ptr<TPrinterCanvas> canvas;
};

TPrinter::TPrinter() : impl_(std::make_unique<Impl>()) {
  impl_->canvas = std::make_unique<TPrinterCanvas>(this);
  Refresh();
}

TPrinter::~TPrinter() {
  if (printing_) Abort();
  impl_->canvas->SetHandle(nullptr);
  if (impl_->dc) DeleteDC(impl_->dc);
}

void TPrinter::Refresh() {
  impl_->printers.Clear();
  for (const QString& name : QPrinterInfo::availablePrinterNames()) impl_->printers.Add(name.toStdString());
  impl_->printers.Add(kPdfPrinterName);
}

TStrings* TPrinter::Printers() { return &impl_->printers; }

int TPrinter::PrinterIndex() {
  if (index_ >= 0) return index_;
  // The default printer: the operating system's own, or PDF when it has none.
  QString def = QPrinterInfo::defaultPrinterName();
  int i = def.isEmpty() ? -1 : impl_->printers.IndexOf(def.toStdString());
  return i >= 0 ? i : impl_->printers.Count() - 1;
}

void TPrinter::SetPrinterIndex(int value) {
  CheckPrinting(false);
  if (value < -1 || value >= impl_->printers.Count()) throw EPrinter("Printer selected is not valid");
  index_ = value;
}

void TPrinter::GetPrinter(std::string& device, std::string& driver, std::string& port) {
  device = impl_->printers.Get(PrinterIndex());
  driver.clear();
  port.clear();
}

void TPrinter::SetPrinter(const std::string& device, const std::string&, const std::string&) {
  int i = impl_->printers.IndexOf(device);
  if (i < 0) {
    Refresh();
    i = impl_->printers.IndexOf(device);
  }
  SetPrinterIndex(i < 0 ? -2 : i);
}

void TPrinter::SetOrientation(TPrinterOrientation value) {
  CheckPrinting(false);
  orientation_ = value;
}

void TPrinter::SetCopies(int value) {
  CheckPrinting(false);
  copies_ = value < 1 ? 1 : value;
}

void TPrinter::SetResolution(int dpi) {
  CheckPrinting(false);
  if (dpi < 36 || dpi > 2400) throw EPrinter("Printer selected is not valid");
  resolution_ = dpi;
}

void TPrinter::SetPaperSize(double widthMM, double heightMM) {
  CheckPrinting(false);
  if (!(widthMM > 10 && heightMM > 10 && widthMM < 5000 && heightMM < 5000)) throw EPrinter("Printer selected is not valid");
  paperWidthMM_ = widthMM;
  paperHeightMM_ = heightMM;
}

int TPrinter::PageWidth() const {
  double mm = orientation_ == poPortrait ? paperWidthMM_ : paperHeightMM_;
  return static_cast<int>(std::lround(mm / 25.4 * resolution_));
}

int TPrinter::PageHeight() const {
  double mm = orientation_ == poPortrait ? paperHeightMM_ : paperWidthMM_;
  return static_cast<int>(std::lround(mm / 25.4 * resolution_));
}

void TPrinter::CheckPrinting(bool value) {
  if (printing_ == value) return;
  if (value) throw EPrinter("Printer is not currently printing");
  throw EPrinter("Printing in progress");
}

HDC TPrinter::Handle() {
  if (!impl_->dc) {
    // Outside a job the DC stands for a page of the printer, so that sizes can be measured.
    FreshPage();
  }
  return impl_->dc;
}

TCanvas* TPrinter::Canvas() { return impl_->canvas.get(); }

void TPrinter::FreshPage() {
  QImage& page = impl_->page;
  if (page.width() != PageWidth() || page.height() != PageHeight())
    page = QImage(PageWidth(), PageHeight(), QImage::Format_RGB32);
  if (page.isNull()) throw EOutOfMemory("Out of memory");
  page.fill(Qt::white);
  if (!impl_->dc) {
    impl_->dc = CreateSurfaceDC(page.bits(), page.width(), page.height(), page.bytesPerLine(), 32, nullptr, 0, true);
    if (!impl_->dc) throw EOutOfMemory("Out of memory");
  } else {
    SetSurfaceBits(impl_->dc, page.bits(), page.width(), page.height(), page.bytesPerLine());
  }
  SetDeviceResolution(impl_->dc, resolution_, resolution_);
  impl_->canvas->Font()->SetPixelsPerInch(resolution_);
}

void TPrinter::FlushPage() {
  QPainter* p = impl_->painter.get();
  if (!p) return;
  p->drawImage(QRect(0, 0, impl_->page.width(), impl_->page.height()), impl_->page);
}

void TPrinter::BeginDoc() {
  CheckPrinting(false);
  std::string device = impl_->printers.Get(PrinterIndex());
  bool pdf = device == kPdfPrinterName;
  std::string file = outputFileName_;
  if (pdf && file.empty()) {
    // Print to PDF asks where the file goes.
    TDialogRequest req;
    req.Kind = "Save";
    req.Title = "Print to PDF";
    req.Filter = "PDF files (*.pdf)|*.pdf";
    req.DefaultExt = "pdf";
    req.FileName = (title_.empty() ? std::string("document") : title_) + ".pdf";
    TDialogAnswer answer = RunDialog(req, [&] { return RunFileDialog(req, false); });
    if (answer.Result == 0 || answer.Files.empty()) {
      aborted_ = true;
      throw EAbort("Operation aborted");
    }
    file = answer.Files.front();
  }
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (pdf) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file));
  } else {
    printer->setPrinterName(QString::fromStdString(device));
    if (!file.empty()) printer->setOutputFileName(QString::fromStdString(file));
  }
  printer->setResolution(resolution_);
  printer->setFullPage(true);
  printer->setPageSize(QPageSize(QSizeF(paperWidthMM_, paperHeightMM_), QPageSize::Millimeter));
  printer->setPageOrientation(orientation_ == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  printer->setCopyCount(copies_);
  printer->setDocName(QString::fromStdString(title_));
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(printer.get())) throw EPrinter(Format("Cannot print to \"%s\"", device.c_str()));
  impl_->printer = std::move(printer);
  impl_->painter = std::move(painter);
  printing_ = true;
  aborted_ = false;
  pageNumber_ = 1;
  FreshPage();
  impl_->canvas->Refresh();
}

void TPrinter::NewPage() {
  CheckPrinting(true);
  FlushPage();
  impl_->printer->newPage();
  ++pageNumber_;
  FreshPage();
  impl_->canvas->Refresh();
}

void TPrinter::EndDoc() {
  CheckPrinting(true);
  FlushPage();
  impl_->painter->end();
  impl_->painter.reset();
  impl_->printer.reset();
  printing_ = false;
  aborted_ = false;
  pageNumber_ = 0;
}

void TPrinter::Abort() {
  CheckPrinting(true);
  std::string file = impl_->printer->outputFileName().toStdString();
  impl_->printer->abort();
  impl_->painter->end();
  impl_->painter.reset();
  impl_->printer.reset();
  // An aborted job leaves no half-written file behind.
  if (!file.empty()) DeleteFile(file);
  printing_ = false;
  aborted_ = true;
  pageNumber_ = 0;
}

namespace {
std::unique_ptr<TPrinter> g_printer;
}  // namespace

TPrinter* Printer() {
  if (!g_printer) g_printer = std::make_unique<TPrinter>();
  return g_printer.get();
}

TPrinter* SetPrinter(TPrinter* printer) {
  TPrinter* old = g_printer.release();
  g_printer.reset(printer);
  return old;
}
