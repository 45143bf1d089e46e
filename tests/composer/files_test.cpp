// Tests of message files (save, open) and printing.
#include "composerProbe.h"
#include "pdfText.h"

#include <QDir>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QTextEdit>

namespace quorvel {
namespace {

class FilesTest : public ComposerTest {
protected:
  std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
  QTemporaryDir dir;
};

TEST_F(FilesTest, SaveWritesThreeEscapedLines) {
  ProbeForm form;
  form.eTo->setText("+3612345");
  form.eCC->setText("");
  form.re->setPlainText("C:\\sms\nline two");
  form.savePath = path("a.msg");
  form.actSave->trigger();
  ASSERT_EQ(form.fileDialogs.size(), 1u);
  EXPECT_EQ(form.fileDialogs[0].title, "Save Message File");
  EXPECT_EQ(form.fileDialogs[0].filter, "Message file (*.msg)|*.msg");
  EXPECT_EQ(form.fileDialogs[0].defaultExt, ".msg");
  EXPECT_EQ(readFileBytes(form.savePath), "+3612345\r\n\r\nC:\\\\sms\\r\\nline two\r\n");
  EXPECT_TRUE(form.messages.empty());
}

TEST_F(FilesTest, SavedMessageLoadsBackIdentical) {
  ProbeForm form;
  const QString text = QString::fromUtf8("\\ back\\slash \xC5\x91\nnext\n\nlast \\n");
  form.eTo->setText("Ann [+3611] ");
  form.eCC->setText("Bob [+3622] ; \\x");
  form.re->setPlainText(text);
  form.savePath = path("round.msg");
  form.actSave->trigger();
  form.eTo->clear();
  form.eCC->clear();
  form.re->clear();
  form.openPath = form.savePath;
  form.actOpen->trigger();
  EXPECT_EQ(form.fileDialogs.back().title, "Select Message File");
  EXPECT_EQ(form.eTo->text(), "Ann [+3611] ");
  EXPECT_EQ(form.eCC->text(), "Bob [+3622] ; \\x");
  EXPECT_EQ(form.re->toPlainText(), text);
  EXPECT_TRUE(form.messages.empty());
}

TEST_F(FilesTest, SaveReplacesAnExistingFile) {
  ProbeForm form;
  form.savePath = path("old.msg");
  writeFileBytes(form.savePath, std::string(5000, 'x'));
  form.eTo->setText("1");
  form.actSave->trigger();
  EXPECT_EQ(readFileBytes(form.savePath), "1\r\n\r\n\r\n");
}

TEST_F(FilesTest, CancelledDialogsChangeNothing) {
  ProbeForm form;
  form.eTo->setText("keep");
  form.actSave->trigger();
  form.actOpen->trigger();
  EXPECT_EQ(form.fileDialogs.size(), 2u);
  EXPECT_EQ(form.eTo->text(), "keep");
  EXPECT_TRUE(form.messages.empty());
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FilesTest, OpenCases) {
  struct Case {
    const char* name;
    std::string bytes;
    bool changes;
    std::string cc, text;
  };
  const Case cases[] = {
      {"two lines", "+36\r\ncc\r\n", false, "", ""},
      {"tab escape dropped", "+36\r\n\r\nA\\tB\r\n", true, "", "AB"},
      {"extra lines ignored", "+36\r\nc\\nc\r\nt\r\nmore\r\n", true, "c\nc", "t"},
      {"Windows-1252", "+36\r\n\xC1gi\r\nsz\xE9p \x80 napot\r\n", true,
       "\xC3\x81gi", "sz\xC3\xA9p \xE2\x82\xAC napot"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeForm form;
    form.eTo->setText("before");
    form.eCC->setText("before");
    form.re->setPlainText("before");
    form.openPath = path("case.msg");
    writeFileBytes(form.openPath, c.bytes);
    form.actOpen->trigger();
    EXPECT_TRUE(form.messages.empty());
    if (!c.changes) {
      EXPECT_EQ(form.eTo->text(), "before");
      EXPECT_EQ(form.re->toPlainText(), "before");
      continue;
    }
    EXPECT_EQ(form.eTo->text(), "+36");
    EXPECT_EQ(form.eCC->text().toStdString(), c.cc);
    EXPECT_EQ(form.re->toPlainText().toStdString(), c.text);
  }
}

TEST_F(FilesTest, UnreadableAndUnwritableFilesAreReported) {
  ProbeForm form;
  form.eTo->setText("keep");
  form.openPath = path("missing.msg");
  form.actOpen->trigger();
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0], "Could not open file");
  EXPECT_EQ(form.eTo->text(), "keep");

  form.savePath = path("no/such/folder/x.msg");
  form.actSave->trigger();
  ASSERT_EQ(form.messages.size(), 2u);
  EXPECT_EQ(form.messages[1], "Could not save file");
}

TEST_F(FilesTest, PrintsTheMessageAsOneNamedJob) {
  ProbeForm form;
  form.eTo->setText("+3612345");
  form.re->setPlainText(QString::fromUtf8("Hello printer\nsecond line \xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91"));
  form.pdfPath = path("print.pdf");
  form.actPrint->trigger();
  EXPECT_TRUE(form.messages.empty());
  const std::string text = pdfText(form.pdfPath);
  EXPECT_NE(text.find("Hello printer"), std::string::npos) << text;
  EXPECT_NE(text.find("second line \xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91"), std::string::npos) << text;
  EXPECT_EQ(pdfTitle(form.pdfPath), "SMS Message +3612345");
}

TEST_F(FilesTest, NoPrinterIsReportedPlainly) {
  if (!QPrinterInfo::defaultPrinter().isNull())
    GTEST_SKIP() << "this machine has a printer";
  ProbeForm form;
  form.re->setPlainText("text");
  form.actPrint->trigger();
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].find("No printer"), std::string::npos);
}

} // namespace
} // namespace quorvel
