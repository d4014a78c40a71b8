#pragma once
// The printer: TPrinter with the framework's operations (printers by name, title, orientation,
// copies, page size in printer pixels, BeginDoc, NewPage, EndDoc, Abort, a canvas), on the toolkit's
// print support. A page is drawn on a page-sized image at the printer's resolution with the drawing
// layer's rules (the canvas's DC reports that resolution), then sent to the printer as one picture.
//
// Besides the operating system's printers there is always "Print to PDF", which writes a PDF file
// (the one set with SetOutputFileName, or one the user chooses in the save dialog at BeginDoc).
#include <memory>
#include <string>

#include "platform/gdi/graphics.h"
#include "platform/ui/string_list.h"

class EPrinter : public Exception { using Exception::Exception; };

enum TPrinterOrientation : uint8_t { poPortrait, poLandscape };
enum TPrinterCapability : uint8_t { pcCopies = 1, pcOrientation = 2, pcCollation = 4 };

class TPrinter : public TObject {
 public:
  TPrinter();
  ~TPrinter() override;
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // The printers' names; "Print to PDF" is the last.
  TStrings* Printers();
  // The chosen printer: an index into Printers, -1 for the default one.
  int PrinterIndex();
  void SetPrinterIndex(int value);
  // The printer by name (device), as the platform's printer records give it; an unknown name raises
  // EPrinter "Printer selected is not valid".
  void GetPrinter(std::string& device, std::string& driver, std::string& port);
  void SetPrinter(const std::string& device, const std::string& driver, const std::string& port);
  void Refresh();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  TPrinterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrinterOrientation value);
  int Copies() const { return copies_; }
  void SetCopies(int value);
  // Pixels per inch of the pages (300 unless set; not while printing).
  int Resolution() const { return resolution_; }
  void SetResolution(int dpi);
  // The paper in millimetres (A4 unless set); the page is the whole paper, without margins.
  void SetPaperSize(double widthMM, double heightMM);
  // Where "Print to PDF" writes; empty asks the user at BeginDoc.
  const std::string& OutputFileName() const { return outputFileName_; }
  void SetOutputFileName(const std::string& value) { outputFileName_ = value; }

  // The page in printer pixels.
  int PageWidth() const;
  int PageHeight() const;
  int PageNumber() const { return pageNumber_; }
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  TCanvas* Canvas();
  HDC Handle();

  // Starts a print job (EPrinter "Printing in progress" while one runs); a cancelled choice of the
  // PDF file aborts (Aborted is then true) and raises EAbort.
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();

 private:
  struct Impl;
  void CheckPrinting(bool value);
  void FlushPage();
  void FreshPage();
  std::unique_ptr<Impl> impl_;
  std::string title_;
  std::string outputFileName_;
  TPrinterOrientation orientation_ = poPortrait;
  int copies_ = 1;
  int resolution_ = 300;
  double paperWidthMM_ = 210.0, paperHeightMM_ = 297.0;
  int index_ = -1;
  int pageNumber_ = 0;
  bool printing_ = false;
  bool aborted_ = false;
};

// The program's printer object (made on first use), and a way to put another in its place (the old
// one is returned and no longer owned).
TPrinter* Printer();
TPrinter* SetPrinter(TPrinter* printer);

// The name of the printer that writes PDF files.
extern const char* const kPdfPrinterName;
