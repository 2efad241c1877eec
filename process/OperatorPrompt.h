#pragma once
// Operator prompts: the owner-less message boxes of the protocol operations
// and of start-up (caption "Error", one OK button). The core only calls
// ShowOperatorMessage; the windows, the command line and the tests each
// install a prompt of their own.

namespace orvane {

class OperatorPrompt {
public:
    virtual ~OperatorPrompt() = default;
    // Returns only after the operator has dismissed the message. May be
    // called from any thread.
    virtual void showMessage(const char* text) = 0;
};

// Installs the process's prompt; nullptr removes it. Returns the previous one.
OperatorPrompt* InstallOperatorPrompt(OperatorPrompt* prompt);
// The process's prompt, or nullptr.
OperatorPrompt* InstalledOperatorPrompt();

// The prompt ShowOperatorMessage uses on the calling thread: its job scope's,
// else the installed one, else one line on stderr.
OperatorPrompt& CurrentOperatorPrompt();

// Shows text in the installed prompt; without one the text goes to stderr.
void ShowOperatorMessage(const char* text);

}  // namespace orvane
