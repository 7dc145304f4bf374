#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers the real modal boxes that the code under test shows: each handler
// in turn runs on the next box that becomes the active modal widget, and
// inspects and answers it. Call before the code that shows them.
inline void AnswerModalBoxes(QList<std::function<void(QWidget*)>> handlers)
{
    auto left = std::make_shared<QList<std::function<void(QWidget*)>>>(std::move(handlers));
    auto answered = std::make_shared<QPointer<QWidget>>();
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
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
    poll->start();
}

// The button of a box that reads `text`; nullptr when there is none.
inline QAbstractButton* ButtonWithText(QWidget* box, const QString& text)
{
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}
