#include "load/LoadOptionRules.h"

#include <etl/etl.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "load/AppImageRules.h"
#include "load/VersionFolders.h"
#include "log/Log.h"
#include "util/HistoryList.h"
#include "util/Paths.h"
#include "util/Prompter.h"
#include "util/Registry.h"
#include "util/WaitCursor.h"

namespace {

const QString kEventListFolder = QStringLiteral("/Vq/EventList/");

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void Remember(const QString& section, const QString& text) {
    CHistoryList history;
    history.LoadFromRegistry(section);
    history.Add(text);
    history.SaveToRegistry(section);
}

// Completes an event list name in the event list folder with ".etl".
bool CompleteEventList(QString& path) {
    QString dir = EventListRelativeDir();
    return ResolveFileName(path, dir, kEventListExt, true);
}

bool WriteDefaultEventList(const QString& path) {
    try {
        etl::WriteDefaultFile(Native(path));
        return true;
    } catch (const etl::Error&) {
        return false;
    }
}

// The default starter: the program by its name from the search path or
// from the wizard's own folder; a program named for Windows is also found
// under its bare name.
bool DefaultStart(const QString& commandLine) {
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty()) return false;
    const QString program = args.takeFirst();
    QStringList candidates{program};
    if (program.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive)) candidates << program.chopped(4);
    const QStringList dirs{QCoreApplication::applicationDirPath()};
    for (const QString& name : candidates) {
        QString found = QStandardPaths::findExecutable(name);
        if (found.isEmpty()) found = QStandardPaths::findExecutable(name, dirs);
        if (!found.isEmpty() && QProcess::startDetached(found, args)) return true;
    }
    return false;
}

ProgramStarter& Starter() {
    static ProgramStarter starter;
    return starter;
}

}  // namespace

QString EventListRelativeDir() {
    return QDir::toNativeSeparators(kEventListFolder);
}

QString EventListDir() {
    QString dir;
    if (!PrefixInstallDir(dir, EventListRelativeDir())) return QString();
    return dir;
}

QString NewestXifFolder() {
    const QString dir = ImportDir();
    return dir.isEmpty() ? QString() : versionfolders::Newest(dir);
}

int InterfaceIndex(const QStringList& names, const QString& stored) {
    if (names.isEmpty()) return -1;
    if (stored.isEmpty()) return 0;
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(stored, Qt::CaseInsensitive) == 0) return i;
    return 0;
}

QString StoredInterface() {
    return OpenProfile()->value(QString::fromLatin1(kNiSelectionValue)).toString();
}

QStringList StartXifList() {
    const QString importDir = ImportDir();
    const QString newest = NewestXifFolder();
    auto profile = OpenProfile();
    const QString last = profile->value(QString::fromLatin1(kLastXifDirValue)).toString();

    CHistoryList history;
    history.LoadFromRegistry(kXifHistSection);
    QStringList items;
    history.FillCombo(items);
    if (items.isEmpty()) {
        items = versionfolders::RefillItems(importDir, QStringLiteral("*") + kXifExt);
    } else if (versionfolders::IsNewer(newest, last)) {
        MessageBox(
            QStringLiteral("There has been a version update of the external interface file. The newest "
                           "version has been selected for you on the next page."),
            QStringLiteral("Version Update"), MsgIcon::Information);
        items = versionfolders::RefillItems(importDir, QStringLiteral("*") + kXifExt);
    }
    history.ReadFromCombo(items);
    history.SaveToRegistry(kXifHistSection);
    profile->setValue(QString::fromLatin1(kLastXifDirValue), newest);
    return items;
}

QStringList EventListHistory() {
    CHistoryList history;
    history.LoadFromRegistry(kEventListHistSection);
    QStringList items;
    history.FillCombo(items);
    return items;
}

EventListState CheckEventListForNext(const QString& text, QString& path) {
    if (text.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter a file name of the Event List file."));
        return EventListState::Empty;
    }
    path = text;
    if (!CompleteEventList(path)) return EventListState::CannotOpen;
    if (!FileExists(path)) {
        const MsgResult answer = MessageBox(
            QStringLiteral("The event list file you specified does not exist. Would you like to create it?"),
            QString::fromLatin1(kErrorCaption), MsgIcon::Stop, MsgButtons::YesNo);
        if (answer != MsgResult::Yes) return EventListState::Declined;
        // The user presses Next again to go on with it.
        return WriteDefaultEventList(path) ? EventListState::Created : EventListState::CreateFailed;
    }
    switch (etl::CheckFile(Native(path))) {
        case etl::Problem::Ok:
            return EventListState::Ok;
        case etl::Problem::NotWholeRecords:
        case etl::Problem::TooFewRecords:
            ErrorBox(QStringLiteral(
                "The file you specified is not a valid event list file. Please re-enter the file name."));
            return EventListState::Invalid;
        default:
            return EventListState::CannotOpen;
    }
}

LoadOptionNextResult LoadOptionNext(const LoadOptionNextRequest& request, const LoadOptionOps& ops) {
    LoadOptionNextResult r;
    QString eventList;
    const EventListState state = CheckEventListForNext(request.eventListText, eventList);
    if (state != EventListState::Ok) {
        if (state != EventListState::Empty && state != EventListState::Created)
            r.focus = LoadOptionFocus::EventList;
        return r;
    }
    Remember(kEventListHistSection, request.eventListText);
    r.eventListPath = eventList;
    LogWrite(QStringLiteral("Event file chosen: ") + request.eventListText);
    LogWrite(QString());

    OpenProfile()->setValue(QString::fromLatin1(kNiSelectionValue), request.interfaceText);
    if (!ops.openLoadSide || ops.openLoadSide(request.interfaceText) != 0) return r;
    r.loadSideOpen = true;
    LogWrite(QStringLiteral("NI chosen: ") + request.interfaceText);
    LogWrite(QString());

    if (request.xifText.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter the file name of the xif file."));
        return r;
    }
    QString xif = request.xifText;
    QString dir = NewestXifFolder();
    if (!ResolveFileName(xif, dir, kXifExt, true) || !FileExists(xif)) {
        ErrorBox(QStringLiteral("The xif file you specified does not exist. Please re-enter the file name."));
        r.focus = LoadOptionFocus::Xif;
        return r;
    }
    if (!ops.addTemplate || ops.addTemplate(xif) != 0) return r;
    Remember(kXifHistSection, request.xifText);
    r.xifPath = xif;
    LogWrite(QStringLiteral("Xif file chosen: ") + request.xifText);
    LogWrite(QString());
    r.proceed = true;
    return r;
}

EditEventListResult EditEventList(const QString& text) {
    EditEventListResult r;
    if (text.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter the event list file name."));
        r.focusEventList = true;
        return r;
    }
    QString path = text;
    if (!CompleteEventList(path)) {
        r.focusEventList = true;
        return r;
    }
    if (!FileExists(path)) {
        const MsgResult answer =
            MessageBox(QStringLiteral("The file: ") + path +
                           QStringLiteral(" does not exist. Would you like to create it?"),
                       QString::fromLatin1(kWizardCaption), MsgIcon::Question, MsgButtons::YesNo);
        if (answer != MsgResult::Yes || !WriteDefaultEventList(path)) {
            r.focusEventList = true;
            return r;
        }
    }
    Remember(kEventListHistSection, text);
    r.historyChanged = true;
    r.history = EventListHistory();
    r.path = path;
    {
        CWaitCursor wait;
        r.started = StartProgram(EventListEditorCommand(path));
    }
    if (!r.started)
        ErrorBox(QStringLiteral("FAILED to open the event list %1 on Event List Editor.").arg(path));
    return r;
}

QString EventListEditorCommand(const QString& path) {
    return QStringLiteral("EventListEditor.exe \"%1\"").arg(path);
}

void SetProgramStarter(ProgramStarter starter) {
    Starter() = std::move(starter);
}

bool StartProgram(const QString& commandLine) {
    return Starter() ? Starter()(commandLine) : DefaultStart(commandLine);
}
