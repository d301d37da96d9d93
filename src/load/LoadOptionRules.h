// The load options page's rules without widgets: the network interface to
// select, the external interface files offered at start, the event list
// checks, what Next checks, opens, logs and remembers, and the start of the
// event list editor. The page reads its controls, calls these and shows the
// outcome.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

inline const QString kXifHistSection = QStringLiteral("XifHist");
inline const QString kEventListHistSection = QStringLiteral("EventListHist");
inline const char* const kNiSelectionValue = "NI Selection";
inline const char* const kLastXifDirValue = "LastXifDefDir";
inline const QString kXifExt = QStringLiteral(".xif");
inline const QString kEventListExt = QStringLiteral(".etl");
// What the event list box shows when its history is empty.
inline const QString kDefaultEventListText = QStringLiteral("Default");

// The event list folder relative to the install directory (native
// separators, trailing separator), and in full (empty without an install
// directory).
QString EventListRelativeDir();
QString EventListDir();
// The newest version folder of the import folder (the import folder itself
// without one); empty without an install directory.
QString NewestXifFolder();

// The interface to select among names (in the object server's order) for
// the stored "NI Selection": the one equal to it ignoring case, else the
// first; -1 when there is none.
int InterfaceIndex(const QStringList& names, const QString& stored);
QString StoredInterface();

// The external interface files offered when the page starts: the stored
// history, or, when it is empty or a newer version folder has appeared
// since the page last looked (after telling the user so), the files of the
// version folders. Stores the list as the history and the newest folder as
// "LastXifDefDir".
QStringList StartXifList();

// The event lists offered ("EventListHist"), most recent first.
QStringList EventListHistory();

// The event list named by text, completed in the event list folder with
// ".etl" (the completed path goes to path).
enum class EventListState {
    Ok,            // a valid event list
    Empty,         // nothing typed (message shown)
    Created,       // missing, the user agreed, the default list was written
    Declined,      // missing, the user said No
    CreateFailed,  // missing, the default list could not be written
    CannotOpen,    // there but unreadable (no message)
    Invalid,       // not a valid event list (message shown)
};
// Next's check: messages and the creation question as on Next.
EventListState CheckEventListForNext(const QString& text, QString& path);

enum class LoadOptionFocus { None, EventList, Xif };

struct LoadOptionNextRequest {
    QString eventListText;  // as typed
    QString interfaceText;  // the selected interface
    QString xifText;        // as typed
};

// The calls into the wizard context: open the temporary database and its
// system on the interface (OpenNetworkDatabase, then OpenSystem; each shows
// its own messages), and make the device template; 0 is success.
struct LoadOptionOps {
    std::function<int(const QString& interfaceName)> openLoadSide;
    std::function<int(const QString& xifPath)> addTemplate;
};

struct LoadOptionNextResult {
    bool proceed = false;  // every step passed: move on
    LoadOptionFocus focus = LoadOptionFocus::None;
    QString eventListPath;  // the completed event list, once accepted
    bool loadSideOpen = false;
    QString xifPath;  // the completed external interface file, once its template is made
};

// Next: the event list, the interface and its database, then the external
// interface file and its template, with the log lines and histories.
LoadOptionNextResult LoadOptionNext(const LoadOptionNextRequest& request, const LoadOptionOps& ops);

// Edit: checks (or creates) the event list and starts the editor on it
// without waiting. Returns the event list history after the edit, or
// nothing changed when the check stopped (focus set).
struct EditEventListResult {
    bool focusEventList = false;
    bool historyChanged = false;
    QStringList history;
    QString path;
    bool started = false;
};
EditEventListResult EditEventList(const QString& text);

// The editor's command line for an event list.
QString EventListEditorCommand(const QString& path);
// Starts a command line without waiting; true when it started. Tests
// replace it; null restores the default.
using ProgramStarter = std::function<bool(const QString& commandLine)>;
void SetProgramStarter(ProgramStarter starter);
bool StartProgram(const QString& commandLine);
