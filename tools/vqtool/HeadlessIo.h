// What stands in for the wizard's windows when vqtool runs a long operation:
// progress lines on stdout, message boxes on stderr, Ctrl-C as the Cancel
// button.
#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <string>

#include "log/Log.h"
#include "util/Prompter.h"

class CSetupContext;

// A set-up message on stderr, as "vqtool: TEXT".
void Complain(const QString& text);

// Opens the object server of dataFolder (OVX_HOME when empty) for a command,
// with poll run at every progress event; false, said on stderr, when it
// cannot be opened.
bool OpenObjectServerFor(CSetupContext& context, const std::string& dataFolder, std::function<void()> poll);

// Installs the SIGINT handler. The handler only sets a flag; a second Ctrl-C
// ends the program the usual way.
void InstallInterruptHandler();
bool InterruptRequested();
void ClearInterrupt();  // for tests that run several commands in one process

// The Progress box on a stream: lines as the box would show them, with the
// box's CR LF line ends turned into the platform's. Every line also gives the
// run a chance to notice Ctrl-C: onLine runs after each write.
class StreamLogView : public ILogView {
public:
    explicit StreamLogView(std::FILE* out) : m_out(out) {}
    void Clear() override {}
    void AppendAtEnd(const QString& text) override;
    void Repaint() override;

    std::function<void()> onLine;

private:
    std::FILE* m_out;
};

// Message boxes without anyone to answer them: each box is printed to stderr
// with its caption; OK boxes are answered OK, questions No, so that nothing is
// replaced or removed on a guess.
class StderrPrompter : public IPrompter {
public:
    MsgResult Show(const MessageBoxRequest& request) override;
};
