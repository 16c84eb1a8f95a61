#include "messagerecorder.h"

MessageRecorder::MessageRecorder()
{
    Seams::setMessageBoxHandler([this](const Seams::MessageBoxRequest &request) {
        m_boxes.append(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        if (request.defaultButton != QMessageBox::NoButton)
            return request.defaultButton;
        for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
            if (request.buttons & bit)
                return static_cast<QMessageBox::StandardButton>(bit);
        }
        return QMessageBox::NoButton;
    });
}

MessageRecorder::~MessageRecorder()
{
    Seams::setMessageBoxHandler({});
}

QStringList MessageRecorder::titles() const
{
    QStringList result;
    for (const auto &box : m_boxes)
        result << box.title;
    return result;
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const auto &box : m_boxes)
        result << box.text;
    return result;
}
