#pragma once
// Operator prompts: the owner-less message boxes of the protocol operations
// and of start-up (caption "Error", one OK button). The windows, the command
// line and the tests each install a prompt of their own; a job is given the
// prompt it tells in its context.

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

// The installed prompt, else one that writes a line on stderr.
OperatorPrompt& ProcessOperatorPrompt();

// Shows text in the process's prompt.
void ShowOperatorMessage(const char* text);

}  // namespace orvane
