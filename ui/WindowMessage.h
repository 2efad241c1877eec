#pragma once
// A message box owned by a window: modal over it, captioned with the
// application's name, one OK button. Returns after the operator's OK.

class QString;
class QWidget;

void ShowWindowMessage(QWidget* owner, const QString& text);
