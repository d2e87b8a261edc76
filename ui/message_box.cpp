#include "ui/message_box.h"

#include <QMessageBox>

#include <utility>

namespace partwright {

namespace {

MessageSink& InstalledSink() {
    static MessageSink sink;
    return sink;
}

void ShowModalBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Partwright"), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text) {
    if (const MessageSink& sink = InstalledSink()) {
        sink(parent, text);
        return;
    }
    ShowModalBox(parent, text);
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(InstalledSink(), std::move(sink)); }

}  // namespace partwright
