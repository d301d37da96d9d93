// EventListEditor FILE: edits one event list (.etl) in a window.
// Exit codes: 0 after the window closes or after --help/--version, 1 when the
// file is refused, 2 for a wrong command line.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>

#include "EventListWindow.h"

int main(int argc, char** argv) {
    // The command line is checked before any window system is needed, so
    // that --help and mistakes work without a display.
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Edits an event list file (.etl). A missing file opens as a new list holding the "
                       "default events; it is written when saved."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The event list file to edit."));

    if (!parser.parse(args)) {
        std::fprintf(stderr, "EventListEditor: %s\nTry 'EventListEditor --help'.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // No application object exists yet, so the parser cannot know the program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("EventListEditor"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("EventListEditor %s\n", VQ_VERSION);
        return 0;
    }
    if (parser.positionalArguments().size() != 1) {
        std::fputs("EventListEditor: give exactly one event list file.\nTry 'EventListEditor --help'.\n",
                   stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("EventListEditor"));
    QApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));

    etleditor::EventListWindow window;
    QString message;
    if (!window.model().Open(parser.positionalArguments().front(), &message)) {
        std::fprintf(stderr, "EventListEditor: %s\n", qPrintable(message));
        QMessageBox::critical(nullptr, QStringLiteral("Event List Editor"), message);
        return 1;
    }
    window.show();
    return app.exec();
}
