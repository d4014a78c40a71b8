#include "tests/support/clipboard_fixture.h"

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

namespace testsupport {

void PlaceForeignClipboardData(const std::string& Type, const std::vector<uint8_t>& Bytes) {
  auto* mime = new QMimeData;
  mime->setData(QString::fromStdString(Type),
                QByteArray(reinterpret_cast<const char*>(Bytes.data()), static_cast<qsizetype>(Bytes.size())));
  QGuiApplication::clipboard()->setMimeData(mime);
}

void ClearForeignClipboard() { QGuiApplication::clipboard()->setMimeData(new QMimeData); }

void NotifyClipboardChanged() { emit QGuiApplication::clipboard()->dataChanged(); }

}  // namespace testsupport
