#ifndef VELMARO_TESTS_SUPPORT_MESSAGERECORDER_H
#define VELMARO_TESTS_SUPPORT_MESSAGERECORDER_H

#include "platform/seams.h"

#include <QList>

// Records every message box instead of showing it, while it lives. Answers
// with the queued answers in order, then with the request's default button
// (or the first of its buttons).
class MessageRecorder
{
public:
    MessageRecorder()
    {
        Seams::setMessageBoxHandler([this](const Seams::MessageBoxRequest &request) {
            m_boxes.append(request);
            if (!m_answers.isEmpty())
                return m_answers.takeFirst();
            int bit = QMessageBox::FirstButton;
            while (bit <= QMessageBox::LastButton && !(request.buttons & bit))
                bit <<= 1;
            return request.defaultButton != QMessageBox::NoButton ? request.defaultButton
                   : bit <= QMessageBox::LastButton               ? QMessageBox::StandardButton(bit)
                                                                  : QMessageBox::NoButton;
        });
    }
    ~MessageRecorder() { Seams::setMessageBoxHandler({}); }
    Q_DISABLE_COPY(MessageRecorder)

    void queueAnswer(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    const QList<Seams::MessageBoxRequest> &boxes() const { return m_boxes; }
    int count() const { return m_boxes.size(); }
    void clear() { m_boxes.clear(); }

private:
    QList<Seams::MessageBoxRequest> m_boxes;
    QList<QMessageBox::StandardButton> m_answers;
};

#endif
