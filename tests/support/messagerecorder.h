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
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    void queueAnswer(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    const QList<Seams::MessageBoxRequest> &boxes() const { return m_boxes; }
    int count() const { return m_boxes.size(); }
    void clear() { m_boxes.clear(); }
    QStringList titles() const;
    QStringList texts() const;

private:
    QList<Seams::MessageBoxRequest> m_boxes;
    QList<QMessageBox::StandardButton> m_answers;
};

#endif
