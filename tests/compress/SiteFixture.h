// Small network databases for compression tests, written as a few lines of
// text, imported with ovxctl into a private object-server folder, and a
// compression run on them through the wizard context.
//
// Site text: one line per subsystem, "PATH: ITEM; ITEM; ...". Items:
//   vq NAME@CH                    a VQ (program ID 900001013C8A0400)
//   dev NAME@CH [loc=L] [home=P]  an input/output device (all of one program
//                                 ID; the location is the name unless
//                                 given); home names the subsystem of its
//                                 home record
//   host NAME@CH                  the system's host device
//   router NAME NEAR>FAR          a router between two channels
// A name met a second time lists the same device or router again.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "compress/CompressRules.h"
#include "context/SetupContext.h"
#include "log/Log.h"

// The progress box of a test: everything the run shows, as lines.
class RecordingLogView : public ILogView {
public:
    void Clear() override { m_text.clear(); }
    void AppendAtEnd(const QString& text) override;
    void Repaint() override {}
    QStringList Lines() const;
    std::function<void(const QString&)> onText;  // runs after every piece of text

private:
    QString m_text;
};

// Splits lines the way the progress box shows them (a "\r\n" inside a line
// is a break too).
QStringList SplitLines(const QStringList& lines);

class SiteFixture {
public:
    // Imports the site as the network "Plant" into a fresh data folder.
    explicit SiteFixture(const std::string& siteText);
    ~SiteFixture();

    bool Imported() const { return m_imported; }
    QString ImportError() const { return m_importError; }
    QString DataFolder() const { return m_dir.path() + "/ovx"; }
    QString OutputPath() const { return m_output.isEmpty() ? m_dir.path() + "/out/site.q70" : m_output; }
    void SetOutputPath(const QString& path) { m_output = path; }
    QString Dir() const { return m_dir.path(); }

    // Opens the database in a fresh wizard context and compresses the given
    // hierarchies into OutputPath(); the context stays open for inspection.
    int Compress(const QStringList& paths);
    // The same without the run: a fresh context with the database open.
    void OpenDatabase();
    CSetupContext& Context() { return *m_context; }
    void CloseDatabase();
    RecordingLogView& View() { return m_view; }

    QStringList ListedObjects() const;  // the .lst side file's lines
    // Exit code and output of a program from the build's bin folder, run
    // with this fixture's data folder as OVX_HOME.
    int RunTool(const QString& program, const QStringList& args, QString* out = nullptr,
                QString* err = nullptr, const QStringList& extraEnv = {}) const;
    QProcessEnvironment ToolEnvironment() const;

    static std::string ToSiteJson(const std::string& siteText);

private:
    QTemporaryDir m_dir;
    QString m_output;
    bool m_imported = false;
    QString m_importError;
    std::unique_ptr<ovx::ObjectServer> m_server;
    std::unique_ptr<CSetupContext> m_context;
    RecordingLogView m_view;
    std::unique_ptr<CLog> m_log;
};

QString BinPath(const QString& program);
