#pragma once
// The owner-less message box of the core's operations: caption "Error", one
// OK button, shown on the user-interface thread. A worker that calls it waits
// there until the operator has pressed OK.

#include "process/OperatorPrompt.h"

#include <QObject>

class QtOperatorPrompt : public QObject, public orvane::OperatorPrompt {
    Q_OBJECT
public:
    // Lives on the user-interface thread, for as long as prompts may come.
    explicit QtOperatorPrompt(QObject* parent = nullptr);
    void showMessage(const char* text) override;
};
