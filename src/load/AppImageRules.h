// The application image page's rules without widgets: which controls show,
// the list of application images offered at start, and what Next checks,
// logs, remembers and compiles. The page reads its controls, calls these
// and shows the outcome.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "load/CompileProgram.h"

inline const QString kAppImageHistSection = QStringLiteral("AppImageHist");
inline const QString kIntProgHistSection = QStringLiteral("IntProgHist");
inline const char* const kLoadAppImageValue = "LoadAppImage";
inline const char* const kLastAppImageDirValue = "LastAppImageDefDir";
inline const QString kAppImageExt = QStringLiteral(".apb");
inline const QString kProgramSourceExt = QStringLiteral(".qpl");

// The prompts: with the check box, and when the image is mandatory.
inline const QString kAppImagePrompt = QStringLiteral(
    "Choose whether to load an application image to the VQ. If you choose to load, enter the file path of "
    "the "
    ".apb file.");
inline const QString kAppImageOnlyPrompt = QStringLiteral("Enter the file path of the .apb file.");

// Folders relative to the install directory, native separators, trailing separator.
QString ImportRelativeDir();   // the version folders of interface files and images
QString IntProgRelativeDir();  // default folder of program sources

// The full import folder and its newest version folder (the import folder
// itself without one); empty without an install directory.
QString ImportDir();
QString NewestImageFolder();

// How the page's controls stand for a main option, "-i" and the check box.
struct AppImageControls {
    QString prompt;
    bool checkVisible = true;
    bool imageEnabled = true;     // the image combo box and its Browse button
    bool programVisible = false;  // the program group, its combo box and Browse
};
// "LoadAppImage" as last stored (default on).
bool StoredLoadImage();
// With main option 2 the image is mandatory: no check box, the image controls on.
AppImageControls AppImageControlsFor(int mainOption, bool interpretedProgram, bool checked);

// The application images offered when the page starts: the stored history,
// or, when it is empty or a newer version folder has appeared since the
// page last looked (after telling the user so), the files of the version
// folders. Stores the list as the history and the newest folder as
// "LastAppImageDefDir".
QStringList StartImageList();

// The program sources offered ("IntProgHist").
QStringList ProgramHistory();

struct AppImageNextRequest {
    int mainOption = 0;
    bool interpretedProgram = false;  // "-i"
    bool loadChecked = true;          // the check box
    QString imageText;                // as typed
    QString programText;              // as typed
};

enum class AppImageFocus { None, Image, Program };

struct AppImageNextResult {
    bool proceed = false;  // every check passed: move on
    AppImageFocus focus = AppImageFocus::None;
    bool loadImage = false;  // decided at the start of every Next
    QString imagePath;       // the completed image path, once accepted
    bool compiled = false;   // a program was compiled by this Next
    ProgramFiles program;    // its files, once named
};

// Next: the image (checked, completed, remembered, logged), then with "-i"
// and a main option other than 2 the program source, compiled through
// compile (returns kCompileOk or a failure after its own message box); a
// failed compile's listing is copied into the log and deleted.
AppImageNextResult AppImageNext(const AppImageNextRequest& request,
                                const std::function<int(const QString&)>& compile);
