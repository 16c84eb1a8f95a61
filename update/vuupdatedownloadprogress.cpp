#include "update/vuupdatedownloadprogress.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

VuUpdateDownloadProgress::VuUpdateDownloadProgress(QWidget *parent) : QDialog(parent)
{
    setupUi();
}

void VuUpdateDownloadProgress::setupUi()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("VuUpdateDownloadProgress"));
    setWindowModality(Qt::ApplicationModal);
    setModal(true);
    resize(640, 70);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    gridLayout = new QGridLayout(this);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSizeConstraint(QLayout::SetFixedSize);

    frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::WinPanel);
    frame->setFrameShadow(QFrame::Raised);

    verticalLayout = new QVBoxLayout(frame);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(8);
    verticalLayout->setContentsMargins(11, 11, 11, 11);

    label = new QLabel(frame);
    label->setTextFormat(Qt::PlainText); // may name the server's file
    label->setObjectName(QStringLiteral("label"));
    QFont labelFont;
    labelFont.setPointSize(10);
    label->setFont(labelFont);
    label->setLayoutDirection(Qt::LeftToRight);
    label->setFrameShape(QFrame::NoFrame);
    label->setAlignment(Qt::AlignCenter);
    verticalLayout->addWidget(label);

    progress = new QProgressBar(frame);
    progress->setObjectName(QStringLiteral("progress"));
    QFont barFont;
    barFont.setPointSize(8);
    progress->setFont(barFont);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    progress->setInvertedAppearance(false);
    verticalLayout->addWidget(progress);

    // A server that drips must not hold the modal window for ever.
    auto *cancel = new QPushButton(tr("Abbrechen"), frame);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    verticalLayout->addWidget(cancel, 0, Qt::AlignRight);

    gridLayout->addWidget(frame, 0, 0);

    setWindowTitle(tr("Velmaro Update"));
    label->setText(tr("Downloading Update..."));
}

void VuUpdateDownloadProgress::setText(const QString &text)
{
    label->setText(text);
}

QString VuUpdateDownloadProgress::text() const
{
    return label->text();
}

int VuUpdateDownloadProgress::value() const
{
    return progress->value();
}

void VuUpdateDownloadProgress::downloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (bytesTotal <= 0)
        return;
    const double percent = double(bytesReceived) / double(bytesTotal) * 100.0;
    if (percent < 0.0 || percent > 100.0)
        return;
    progress->setValue(static_cast<int>(percent));
}

void VuUpdateDownloadProgress::close()
{
    deleteLater();
    QDialog::close();
}
