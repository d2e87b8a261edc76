#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace partwright {

// Every message the window shows goes through here: a modal box titled
// "Partwright" with only an OK button. Tests swap in a recorder so the texts
// can be checked without a box blocking the test.
using MessageSink = std::function<void(QWidget* parent, const QString& text)>;

void ShowMessage(QWidget* parent, const QString& text);

// Replaces the sink; returns the one that was installed. An empty sink puts
// the real box back.
MessageSink SetMessageSink(MessageSink sink);

}  // namespace partwright
