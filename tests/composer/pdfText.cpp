// Test support: a small reader for the PDF files Qt's PDF engine writes
// (CID fonts with ToUnicode maps, glyphs shown as hex strings).
#include "pdfText.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QString>

namespace quorvel {

namespace {

QByteArray readAll(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Object number -> (dictionary, decoded stream).
struct PdfObject {
  QByteArray dict;
  QByteArray stream;
};

QByteArray inflate(const QByteArray& raw) {
  // qUncompress wants the expected size in front, big-endian.
  QByteArray framed(4, '\0');
  const quint32 hint = static_cast<quint32>(raw.size()) * 16 + 1024;
  for (int i = 0; i < 4; ++i)
    framed[i] = static_cast<char>((hint >> (24 - 8 * i)) & 0xFF);
  return qUncompress(framed + raw);
}

QMap<int, PdfObject> readObjects(const QByteArray& pdf) {
  QMap<int, PdfObject> objects;
  static const QRegularExpression objectStart(R"((\d+) 0 obj\s*)");
  const QString latin = QString::fromLatin1(pdf); // one character per byte
  qsizetype offset = 0;
  for (;;) {
    const auto m = objectStart.match(latin, offset);
    if (!m.hasMatch())
      break;
    const qsizetype start = m.capturedEnd();
    const qsizetype streamAt = pdf.indexOf("stream", start);
    qsizetype end = pdf.indexOf("endobj", start);
    if (end < 0)
      break;
    PdfObject object;
    if (streamAt >= 0 && streamAt < end) {
      // Skip past the stream's end first: font data may hold any bytes.
      object.dict = pdf.mid(start, streamAt - start);
      qsizetype dataStart = streamAt + 6;
      if (pdf.mid(dataStart, 2) == "\r\n")
        dataStart += 2;
      else if (pdf[dataStart] == '\n')
        dataStart += 1;
      const qsizetype dataEnd = pdf.indexOf("endstream", dataStart);
      if (dataEnd < 0)
        break;
      const QByteArray data = pdf.mid(dataStart, dataEnd - dataStart);
      object.stream = object.dict.contains("/FlateDecode") ? inflate(data) : data;
      end = pdf.indexOf("endobj", dataEnd);
      if (end < 0)
        break;
    } else {
      object.dict = pdf.mid(start, end - start);
    }
    objects.insert(m.captured(1).toInt(), object);
    offset = end + 6;
  }
  return objects;
}

QString hexUnits(const QByteArray& hex) {
  QString out;
  for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
    out += QChar(static_cast<char16_t>(hex.mid(i, 4).toUShort(nullptr, 16)));
  return out;
}

// Glyph id -> text, from a ToUnicode CMap.
QMap<ushort, QString> readCMap(const QByteArray& cmap) {
  QMap<ushort, QString> map;
  static const QRegularExpression section(R"(beginbf(range|char)(.*?)endbf\1)",
                                          QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression rangeArray(
      R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*\[([^\]]*)\])");
  static const QRegularExpression rangePlain(
      R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>)");
  static const QRegularExpression pair(R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>)");
  static const QRegularExpression hexString(R"(<([0-9A-Fa-f]+)>)");
  auto sections = section.globalMatch(QString::fromLatin1(cmap));
  while (sections.hasNext()) {
    const auto sm = sections.next();
    QString entries = sm.captured(2);
    if (sm.captured(1) == "char") {
      auto it = pair.globalMatch(entries);
      while (it.hasNext()) {
        const auto m = it.next();
        map[m.captured(1).toUShort(nullptr, 16)] = hexUnits(m.captured(2).toLatin1());
      }
      continue;
    }
    auto ra = rangeArray.globalMatch(entries);
    while (ra.hasNext()) {
      const auto m = ra.next();
      auto glyph = m.captured(1).toUShort(nullptr, 16);
      auto targets = hexString.globalMatch(m.captured(3));
      while (targets.hasNext())
        map[glyph++] = hexUnits(targets.next().captured(1).toLatin1());
    }
    auto rp = rangePlain.globalMatch(entries.remove(rangeArray));
    while (rp.hasNext()) {
      const auto m = rp.next();
      const uint first = m.captured(1).toUShort(nullptr, 16);
      const uint last = m.captured(2).toUShort(nullptr, 16);
      const uint base = m.captured(3).toUShort(nullptr, 16);
      for (uint g = first; g <= last; ++g)
        map[static_cast<ushort>(g)] = QChar(static_cast<char16_t>(base + (g - first)));
    }
  }
  return map;
}

int reference(const QByteArray& dict, const char* key) {
  const QRegularExpression re(QString("/%1\\s+(\\d+) 0 R").arg(key));
  const auto m = re.match(QString::fromLatin1(dict));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

std::string pdfText(const std::string& path) {
  const QMap<int, PdfObject> objects = readObjects(readAll(path));
  // Font resource name -> glyph map, through the font's ToUnicode stream.
  QMap<QString, QMap<ushort, QString>> fonts;
  static const QRegularExpression fontRef(R"(/(F\d+)\s+(\d+) 0 R)");
  for (const PdfObject& object : objects) {
    auto it = fontRef.globalMatch(QString::fromLatin1(object.dict));
    while (it.hasNext()) {
      const auto m = it.next();
      const int toUnicode = reference(objects.value(m.captured(2).toInt()).dict, "ToUnicode");
      if (toUnicode >= 0)
        fonts[m.captured(1)] = readCMap(objects.value(toUnicode).stream);
    }
  }
  static const QRegularExpression token(R"(/(F\d+)\s+[\d.]+\s+Tf|<([0-9A-Fa-f]*)>\s*Tj|\bET\b)");
  QString text;
  for (const PdfObject& object : objects) {
    if (object.stream.isEmpty() || !object.stream.contains("BT"))
      continue;
    QString font;
    auto it = token.globalMatch(QString::fromLatin1(object.stream));
    while (it.hasNext()) {
      const auto m = it.next();
      if (!m.captured(1).isEmpty()) {
        font = m.captured(1);
      } else if (m.captured(0) == "ET") {
        text += '\n';
      } else {
        const QString glyphs = m.captured(2);
        for (qsizetype i = 0; i + 4 <= glyphs.size(); i += 4)
          text += fonts.value(font).value(glyphs.mid(i, 4).toUShort(nullptr, 16), "?");
      }
    }
  }
  // The PDF engine maps the blank glyph to a tab.
  text.replace('\t', ' ');
  return text.toStdString();
}

std::string pdfTitle(const std::string& path) {
  const QByteArray pdf = readAll(path);
  const qsizetype at = pdf.indexOf("/Title (");
  if (at < 0)
    return {};
  QByteArray raw;
  for (qsizetype i = at + 8; i < pdf.size() && pdf[i] != ')'; ++i) {
    if (pdf[i] == '\\' && i + 1 < pdf.size())
      ++i;
    raw += pdf[i];
  }
  if (raw.startsWith("\xFE\xFF")) {
    QString title;
    for (qsizetype i = 2; i + 1 < raw.size(); i += 2)
      title += QChar(static_cast<char16_t>((static_cast<uchar>(raw[i]) << 8) |
                                           static_cast<uchar>(raw[i + 1])));
    return title.toStdString();
  }
  return raw.toStdString();
}

} // namespace quorvel
