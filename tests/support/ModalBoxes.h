#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

// Answers the real modal boxes the code under test shows: each handler in
// turn gets the next box that becomes the active modal widget. Call before
// the code that shows them.
inline void AnswerModalBoxes(QList<std::function<void(QWidget*)>> handlers)
{
    auto left = std::make_shared<QList<std::function<void(QWidget*)>>>(std::move(handlers));
    auto answered = std::make_shared<QPointer<QWidget>>();
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, left, answered] {
        // A box just answered may still be the active one for a moment.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal != answered->data()) {
            *answered = modal;
            left->takeFirst()(modal);
        }
        if (left->isEmpty())
            poll->deleteLater();
    });
    poll->start(10);
}

// The button of a box that reads `text`; nullptr when there is none.
inline QAbstractButton* ButtonWithText(QWidget* box, const QString& text)
{
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}
