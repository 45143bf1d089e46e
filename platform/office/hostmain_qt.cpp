// quorvel-outlook: the Office-style host program. Loads the COM add-ins
// registered for it, shows their command bars and raises calendar reminders.
#include "office/hostwindow.h"
#include "office/qtclipboard.h"
#include "office/quitsignals.h"

#include "com/objbase.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace quorvel::office;

namespace {

const char kUsage[] =
    "usage: quorvel-outlook [--as outlook|word|excel|powerpoint] [FILE.ics...]\n"
    "Starts the Office-style host. Calendar files given here are read for\n"
    "reminders besides those in $XDG_DATA_HOME/quorvel/calendar/.\n";

/// Reads the command line into \p options; false with a message on error.
bool parseArguments(const QStringList& args, HostOptions* options, QString* error) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--as" || a.startsWith("--as=")) {
      QString name = a == "--as" ? (i + 1 < args.size() ? args[++i] : QString()) : a.mid(5);
      std::optional<HostKind> kind = hostFromName(name.toStdString());
      if (!kind) return *error = "unknown host \"" + name + "\"", false;
      options->kind = *kind;
    } else if (a == "--help" || a == "-h") {
      return *error = QString(), false;
    } else if (a.startsWith("-")) {
      return *error = "unknown option " + a, false;
    } else {
      // Kept even when missing: the panel reports it, and it is read once it appears.
      options->schedule.extraFiles.push_back(QFileInfo(a).absoluteFilePath().toStdString());
    }
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  // Help and bad options are answered before the window system is needed;
  // the full reading follows once Qt has taken its own options out.
  QStringList raw;
  for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  raw.removeIf([](const QString& a) { return a.startsWith('-') && !a.startsWith("--") && a != "-h"; });
  HostOptions probe;
  QString probeError;
  if (!parseArguments(raw, &probe, &probeError)) {
    if (!probeError.isEmpty()) std::fprintf(stderr, "quorvel-outlook: %s\n", qPrintable(probeError));
    std::fputs(kUsage, probeError.isEmpty() ? stdout : stderr);
    return probeError.isEmpty() ? 0 : 2;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("quorvel-outlook");
  // Windows of add-ins come and go (the composer only hides); the host ends
  // by File > Exit or by closing its main window.
  QApplication::setQuitOnLastWindowClosed(false);

  HostOptions options;
  QString error;
  if (!parseArguments(QApplication::arguments(), &options, &error)) {
    if (!error.isEmpty()) std::fprintf(stderr, "quorvel-outlook: %s\n", qPrintable(error));
    std::fputs(kUsage, error.isEmpty() ? stdout : stderr);
    return error.isEmpty() ? 0 : 2;
  }
  if (FAILED(quorvel::com::OleInitialize(nullptr))) {
    std::fputs("quorvel-outlook: OleInitialize failed.\n", stderr);
    return 1;
  }
  int rc = 0;
  {
    QtClipboard clipboard;
    HostSession session(options, &clipboard);
    if (HRESULT hr = session.registerClasses(); FAILED(hr))
      std::fprintf(stderr, "quorvel-outlook: Outlook's application could not be registered: %s\n",
                   quorvel::com::hresultText(hr).c_str());
    HostWindow window(session);
    window.show();
    closeOnTerminationSignals(&window);
    QTimer::singleShot(0, &window, [&window] { window.startAddIns(); });
    rc = QApplication::exec();
    session.stop();
    for (const std::string& p : session.takeProblems()) std::fprintf(stderr, "%s\n", p.c_str());
  }
  quorvel::com::OleUninitialize();
  return rc;
}
